#pragma once
// Every code that travels in a WorkflowEvent, named once: the keys, the
// workflow's own events, the instruments' reply codes and the lines of the
// Basic-Loader. The window, the workflow and the loaders all refer here.
#include <cstdint>

// Key events (kind EventKind::kKey).
namespace Key {
inline constexpr int32_t kOk = 13;
inline constexpr int32_t kEscape = 27;
}  // namespace Key

// Notifications (kind EventKind::kNotify) that the program posts itself.
namespace Event {
// The receive side.
inline constexpr int32_t kDataReceived = 10000;    // bytes wait at the port
inline constexpr int32_t kAcknowledge = 10010;     // a reply line with "!"
inline constexpr int32_t kEcho = 10011;            // a reply line with "A." or "C."
inline constexpr int32_t kRejected = 10012;        // a reply line with "?"
inline constexpr int32_t kFramedRecord = 10042;    // the boot loader's framed identification
inline constexpr int32_t kBslAcknowledge = 10044;  // the bootstrap loader's byte 0x90

// The workflow's steps.
inline constexpr int32_t kTransferFailed = 10021;  // main or extra file: a retry by OK follows
inline constexpr int32_t kMainDone = 10022;        // the loader program took the main file
inline constexpr int32_t kBootCommand = 10023;     // S-record: send the boot command
inline constexpr int32_t kSensorPhase = 10024;
inline constexpr int32_t kBasicLoader = 10025;   // the sensor file through the Basic-Loader
inline constexpr int32_t kMainTransfer = 10030;  // the main file through a loader program
inline constexpr int32_t kRetryAck = 10040;      // the retry's (or model entry's) acknowledgement
inline constexpr int32_t kBslMain = 10043;       // TI-TXT: main file through the bootstrap loader
inline constexpr int32_t kLabDownload = 10045;   // "Lab XXX": a meter already in its loader
inline constexpr int32_t kBslRetry = 10046;      // TI-TXT retry
inline constexpr int32_t kSensorFailed = 10047;  // sensor file: no retry
inline constexpr int32_t kWinCe = 10050;         // Windows-CE transfer
inline constexpr int32_t kIntelHex = 10051;      // Intel-hex: boot command as 10023

// Told to the window by the Basic-Loader object.
inline constexpr int32_t kSegmentProgrammed = 10026;  // its success text is shown
inline constexpr int32_t kTransferEnded = 10027;      // stopped: nothing more is sent
}  // namespace Event

// Reply codes of the instruments ("I.<code>#text", "B.<code>", "$<code>").
// The identification replies come in the two-, three- and four-digit code
// sets of the instrument generations.
namespace Reply {
inline constexpr int32_t kDeviceNumber = 20;
inline constexpr int32_t kDeviceNumber3 = 200;
inline constexpr int32_t kDeviceNumber4 = 2010;
inline constexpr int32_t kVersion = 21;
inline constexpr int32_t kVersion3 = 201;
inline constexpr int32_t kVersion4 = 2011;  // also the start-up program's version (Windows CE)
inline constexpr int32_t kPcbNumber = 23;
inline constexpr int32_t kPcbNumber3 = 203;
inline constexpr int32_t kPcbNumber4 = 2013;
inline constexpr int32_t kSerialNumber = 25;
inline constexpr int32_t kSerialNumber3 = 205;
inline constexpr int32_t kBasicLoaderVariant = 208;
inline constexpr int32_t kStored = 30;    // the new firmware is stored
inline constexpr int32_t kClockSet = 31;  // the clock command was taken: the run is done
inline constexpr int32_t kVector80 = 80;  // the MSP430 password vector
inline constexpr int32_t kVector81 = 81;
inline constexpr int32_t kSkipFile = 260;    // Windows CE: the instrument abandons the file
inline constexpr int32_t kFrameFault = 261;  // Windows CE: value text 2 asks for the frame again
inline constexpr int32_t kUsbOnly = 262;     // the sensor software is updated over USB only
inline constexpr int32_t kBootAgain = 920;   // send the boot command again

constexpr bool IsIdentification(int32_t code) {
  switch (code) {
    case kDeviceNumber:
    case kDeviceNumber3:
    case kDeviceNumber4:
    case kVersion:
    case kVersion3:
    case kVersion4:
    case kPcbNumber:
    case kPcbNumber3:
    case kPcbNumber4:
    case kSerialNumber:
    case kSerialNumber3:
    case kBasicLoaderVariant: return true;
    default: return false;
  }
}
}  // namespace Reply

// Notifications of the Basic-Loader object: the loader's text lines it
// recognised, and its own requests.
namespace LoaderLineCode {
inline constexpr int32_t kAbortRequest = 2;
inline constexpr int32_t kBanner = 100;
inline constexpr int32_t kVersion = 101;
inline constexpr int32_t kErased = 102;
inline constexpr int32_t kHalfErased = 103;
inline constexpr int32_t kProgrammed = 104;
inline constexpr int32_t kWaitingForRecords = 105;
inline constexpr int32_t kSendBlock = 106;
inline constexpr int32_t kRecordDefect = 108;
inline constexpr int32_t kReadySegment0 = 110;
inline constexpr int32_t kReadySegment1 = 111;
inline constexpr int32_t kErasing = 112;
}  // namespace LoaderLineCode
