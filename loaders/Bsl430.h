#pragma once
// T_BSL430: one firmware download into an MSP430 instrument through the
// processor's serial bootstrap loader. The instrument is first told by its
// own text commands to jump into the loader; then the line is switched to
// the loader's settings and a fixed chain of loader commands runs, each
// step started by the loader's answer to the one before.
#include <array>
#include <cstdint>
#include <string>

#include "core/Events.h"
#include "core/WorkflowCodes.h"
#include "loaders/BslConstants.h"
#include "loaders/BslFrame.h"
#include "loaders/BslImage.h"

class LoaderHost;

// The first address of the image in a main or high flash segment that the
// download's erase (from eraseStart, 0 or less meaning 0xFC00, down to the
// image's lower bound, and the top segment when the image reaches it)
// leaves as it is, or -1 when every such byte lands on erased flash.
int32_t FirstUnerasedAddress(const BslImage& image, int32_t eraseStart);

// Error codes of a finished download (GetErrorCode). 1..17 are the codes
// the message table knows; kRefused is a file or setting turned down before
// anything was sent.
namespace BslError {
inline constexpr int32_t kNone = 0;
inline constexpr int32_t kSync = 1;
inline constexpr int32_t kDeviceInfo = 2;
inline constexpr int32_t kBaudRate = 3;
inline constexpr int32_t kPassword = 4;
inline constexpr int32_t kErase = 5;
inline constexpr int32_t kTopSegmentErase = 6;
inline constexpr int32_t kProgram = 8;
inline constexpr int32_t kVerify = 9;
inline constexpr int32_t kLoadPc = 10;
inline constexpr int32_t kPatchLoadPc = 11;
inline constexpr int32_t kPatchStart = 12;
inline constexpr int32_t kPatchProgram = 13;
inline constexpr int32_t kPatchVerify = 14;
inline constexpr int32_t kMemoryOffset = 15;
inline constexpr int32_t kOther = 16;
inline constexpr int32_t kNoBootloader = 17;
inline constexpr int32_t kRefused = 18;
}  // namespace BslError

// Workflow events the driver listens to while it runs.
namespace BslEvent {
inline constexpr int32_t kDataReceived = Event::kDataReceived;
inline constexpr int32_t kConfirmed = Event::kAcknowledge;
inline constexpr int32_t kEcho = Event::kEcho;
inline constexpr int32_t kRejected = Event::kRejected;
inline constexpr int32_t kVector80 = Reply::kVector80;  // "I.80#<vector>"
inline constexpr int32_t kVector81 = Reply::kVector81;
inline constexpr int32_t kEscapeKey = Key::kEscape;
}  // namespace BslEvent

class T_BSL430 {
 public:
  static constexpr int kDialogueTimeoutMs = 15000;
  static constexpr int kStepTimeoutMs = 5000;
  static constexpr std::size_t kRxBufferSize = 1000;

  // Stores the host and clears the state; touches neither port nor queue.
  explicit T_BSL430(LoaderHost& host);
  ~T_BSL430();
  T_BSL430(const T_BSL430&) = delete;
  T_BSL430& operator=(const T_BSL430&) = delete;

  // The whole download; true when it ended without error. commandIndex 0..2
  // picks the instrument commands; syncFirst matters only when the record
  // says the instrument is already in its loader. A refused image or
  // setting shows its message and returns false with nothing sent.
  // Empty when BSL430.ini gives every constant; otherwise the refusal that
  // Download would show, so a run can stop before the meter hears a byte.
  static std::string Readiness(int language);

  bool Download(int commandIndex, const std::string& fileName, bool syncFirst, bool queryVector);
  // Writes the text to the port and the traffic log.
  bool SendText(const char* text);
  int32_t GetErrorCode() const { return errorCode; }

  // Shorter time-outs for tests; the defaults are the instruments' own.
  void SetTimeouts(int dialogueMs, int stepMs) {
    dialogueTimeoutMs_ = dialogueMs;
    stepTimeoutMs_ = stepMs;
  }

 private:
  using Step = void (T_BSL430::*)();

  // Download frame (Bsl430.cpp).
  bool Refuse(const std::string& text);
  void OnEvent(EventQueue& queue, WorkflowEvent& event);
  void OnInstrumentConfirmed();
  void TakeVector(const std::string& text);
  void StartLoaderPhase(bool syncFirst);
  void RestoreLine();
  void TryRaisedSpeed();
  void ShowFailure();

  // Receive path and step machine (Bsl430Steps.cpp).
  void ReceiveBytes();
  void HandleReply(const bsl::Reply& reply);
  void AdvanceProgress();
  void SendBytes(const char* bytes, int count);
  void SendFrame(const bsl::Frame& frame);
  void SendSync();
  void SyncThen(Step next);
  void ResendSync();
  void ApplyFailureRule();
  void RunFailureStep(Step step);
  void Fail();

  // Download sequence (Bsl430Sequence.cpp).
  void SendPassword();
  void SendPasswordFrame();
  void AfterPassword();
  void ReadBslVersion();
  void ReadDeviceInfo();
  void EvaluateDeviceInfo();
  void ChangeBaudRate();
  void SwitchTo38400();
  void EraseSegment();
  void NextEraseSegment();
  void SetMemoryOffset();
  void SwitchMemoryOffset(bool high, Step continuation);
  void OffsetSetErase();
  void OffsetSetProgram();
  void OffsetSetVerify();
  void ProgramBlock();
  void TopSegmentErased();
  void NextProgramBlock();
  void VerifyBlock();
  void CheckVerifyBlock();
  void StartProgram();
  void Finish();
  void LoadPatch();
  void PatchLoadPc();
  void AfterPatchLoadPc();
  void PatchPassword();
  void AfterPatchPassword();
  void ProgramPatchBlock();
  void NextPatchBlock();
  void VerifyPatchBlock();
  void CheckPatchBlock();
  void RunPatch();
  void AfterRunPatch();
  void ThroughPatch(Step next);
  bool FrameMatchesBlock(const BslBlock& block) const;
  int32_t EraseLowerBound() const;

  LoaderHost& host;
  MemberSubscriber<T_BSL430> subscriber;
  BslConstants constants;
  std::string failureText;  // a refusal's own message instead of the table's
  int dialogueTimeoutMs_ = kDialogueTimeoutMs;
  int stepTimeoutMs_ = kStepTimeoutMs;

  bool failed = false;
  bool finished = false;
  bool bslActive = false;
  bool vectorKnown = false;
  bool vectorAsked = false;  // the dialogue's second step has run
  bool topSegmentErased = false;
  bool queryVector = false;
  bool patchLoaded = false;
  bool syncFirst = false;
  bool lineRestored = false;    // the line is back at the instrument's settings
  bool lastFailureNak = false;  // the loader heard us and said no
  int32_t eraseAddress = 0;
  int32_t progressMax = 0;
  std::array<uint8_t, kRxBufferSize + 1> rxBuffer{};  // + 1: Read leaves a NUL
  std::size_t rxCount = 0;
  int32_t timerId = 0;
  int32_t deviceId = 0;
  int32_t bslVersion = 0;
  std::string bslVersionText;
  int32_t passwordVector = 0;
  int32_t blockIndex = 0;
  int32_t lastBlock = -1;
  int32_t patchIndex = 0;
  int32_t patchLastBlock = -1;
  int32_t errorCode = BslError::kNone;
  int32_t language = 0;
  int32_t commandIndex = 0;
  int32_t memoryOffsetWanted = 0;
  bool memoryOffsetActive = false;
  BslImage image;
  BslImage patch;
  std::array<uint8_t, bsl::kMaxFrame> rxFrame{};

  Step OnFrame = nullptr;
  Step OnAck = nullptr;
  Step OnFailure = nullptr;
  Step failedOnce = nullptr;
  Step failedTwice = nullptr;
  // Failures of any step in this download: failures that alternate between
  // two steps never make one step fail three times in a row.
  int stepFailures = 0;
  static constexpr int kMaxStepFailures = 10;
  Step deferredStep = nullptr;
  Step offsetContinuation = nullptr;  // what the ACK of set memory offset runs
};
