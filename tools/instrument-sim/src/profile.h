#pragma once
// One simulated instrument, as read from a profile file.
#include <map>
#include <string>
#include <vector>

#include "fault_rules.h"

namespace sim {

enum class TargetKind { None, External, Bsl, BasicLoader, WinCe };

struct Profile {
  std::string name = "instrument";

  // Identity replies and the codes they use.
  std::string pcbNumber = "44943-01";
  int pcbCode = 2013;
  std::string deviceNumber = "61329";
  int deviceCode = 2010;
  std::string version = "1.23";
  int versionCode = 2011;
  std::string serialNumber = "12345678";
  int serialCode = 205;
  std::string startupVersion;      // "I.2011#..." after the serial number
  bool usbOnly = false;            // "I.262#..." after the serial number
  std::string basicLoaderVariant;  // answer "I.208#<c>" to "A.2005"
  // Replace or extend the answer to a command: key "A.2001" -> lines.
  std::map<std::string, std::vector<std::string>> replyOverride;
  std::map<std::string, std::vector<std::string>> replyExtra;

  // Line and behaviour.
  unsigned baudRate = 4800;
  std::string startCommand = "A.1111";
  bool silent = false;
  std::string clockReply = "31";  // "31", "30" or "!"
  int replyDelayMs = 10;
  bool exitOnFinal = false;

  TargetKind target = TargetKind::None;

  // External loader.
  unsigned loaderBaud = 38400;
  int rejectLoaderRuns = 0;
  // A meter waiting in its boot loader answers the tool's wake-up bytes
  // with a framed identification record (empty: it stays silent).
  std::string bootRecord;
  std::string bootRecordMarker = "h00h";

  // MSP430 bootstrap loader.
  unsigned bslDeviceId = 0xF149;
  unsigned bslVersion = 0x0161;  // BCD as the loader reports it
  int vectorReplyCode = 80;
  std::string vector;  // empty: the default vector of BSL430.ini
  int appStartMs = 500;
  // What the firmware sends when it starts after a download: entry n for
  // the n-th start, the last one for all later starts.
  std::vector<std::string> appStartReplies = {"!"};
  bool oldFirmware = false;
  bool startInLoader = false;
  // The greeting goes out when due, whatever the tool's line speed (a
  // real meter does not wait for the tool to switch back).
  bool appStartStrict = false;
  // Bytes a loader left at its raised speed puts on the line when the
  // tool's end changes to another speed (noise that is no answer).
  std::string loaderNoise;
  // The meter's own password fill byte (-1: PasswordFill of BSL430.ini).
  int passwordFill = -1;
  // External loader: the line the firmware sends AppStartMs after a
  // complete image (empty: none).
  std::string loaderDoneReply;

  // Basic-Loader.
  unsigned basicLoaderReadRate = 8000;  // bytes per second
  int basicLoaderEraseMs = 200;
  // After its last "programmed" line the meter restarts and reads
  // nothing for this long.
  int basicLoaderRestartMs = 0;
  int basicLoaderSegments = 1;         // 2: the S-records are asked for twice
  long basicLoaderDefectAtRecord = 0;  // this record is reported defective
  std::string basicLoaderDefectText = "S-Record defect!";

  // Windows-CE receiver.
  int winCeReply260AtFrame = 0;
  int winCeReply261AtFrame = 0;
  int winCeReply261Value = 2;
  int winCeSilentFromFrame = 0;  // from the n-th data frame on, no answers at all

  // Fault injection.
  FaultRule noAnswer, reject, dropReply, nak, corruptChecksum;
  // Bootstrap loader: the SYNC after a NAKed frame is NAKed too.
  bool nakSyncAfterNak = false;
  long stallAfterBytes = 0;
  int stallMs = 0;
  long unplugAfterBytes = 0;
};

// Returns false with a message naming the bad key.
bool loadProfile(const std::string& path, Profile& out, std::string& error);
bool parseProfile(const std::string& text, Profile& out, std::string& error);

}  // namespace sim
