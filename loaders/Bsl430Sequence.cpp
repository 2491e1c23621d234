// T_BSL430: the chain of loader commands from the password to the start of
// the new firmware.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <utility>

#include "core/DeviceRecord.h"
#include "core/LoaderHost.h"
#include "loaders/Bsl430.h"
#include "platform/FileLookup.h"
#include "platform/ProgramDir.h"
#include "serial/ComPort.h"
#include "serial/Delay.h"

namespace {

constexpr int32_t kDefaultEraseStart = 0xFC00;
constexpr int32_t kSegmentSize = 0x200;
constexpr int32_t kTopSegment = 0xFE00;
constexpr int32_t kTopSegmentErase = 0xFFFF;  // any address inside it
constexpr int32_t kInfoSegment = 0x1080;
constexpr int32_t kLowestMainSegment = 0x1100;
constexpr int32_t kEraseEnd = 0x0E80;
constexpr int32_t kNoRetryBelow = 0x1200;  // information area: skip, do not insist
constexpr int32_t kHighBase = 0x10000;

// The erase walks down from its start; at the image's lower bound it
// erases that bound's segment, then the information segment 0x1080, and
// ends. -1 when the walk is over.
int32_t NextEraseAddress(int32_t address, int32_t low) {
  address -= kSegmentSize;
  if (address <= kEraseEnd) return -1;
  if (address == low - 0x100) return low;
  if (address < low) return kInfoSegment;
  return address;
}

// Block 1 bounds the erase (block 0 is the information segment's). A high
// block 1 says nothing about low memory: its stored address would take the
// erase into the information segment that holds the calibration.
int32_t LowerBoundOf(const BslImage& image) {
  for (std::size_t i : {std::size_t{1}, std::size_t{0}})
    if (i < image.blocks.size() && !image.blocks[i].high) return image.blocks[i].address;
  return kLowestMainSegment;
}

// The start of the segment an erase at the address clears, and its end:
// 128-byte information segments, the half segment 0x1100..0x11FF, then
// 512-byte segments.
std::pair<int32_t, int32_t> SegmentOf(int32_t address) {
  if (address < kLowestMainSegment) {
    const int32_t from = address & ~0x7F;
    return {from, from + 0x80};
  }
  if (address < kNoRetryBelow) return {kLowestMainSegment, kNoRetryBelow};
  const int32_t from = address & ~(kSegmentSize - 1);
  return {from, from + kSegmentSize};
}
constexpr uint16_t kDeviceInfoAddress = 0x0FF0;
constexpr uint8_t kDeviceInfoLength = 14;
constexpr uint16_t kPatchLoaderRestart = 0x0C22;
constexpr const char* kPatchFile = "Patch.TXT";
constexpr int kBaudSwitchWaitMs = 1000;
constexpr int kStartWaitMs = 1000;
// Loader versions: 1.10 needs the patch, 1.60 and later can run faster.
constexpr int32_t kPatchedVersion = 110;
constexpr int32_t kFastVersion = 160;
// Processors whose loader needs other clock settings for the baud change.
constexpr int32_t kDeviceF26F = 0xF26F;
constexpr int32_t kDeviceF237 = 0xF237;

uint8_t Lo(int32_t v) { return static_cast<uint8_t>(v & 0xFF); }
uint8_t Hi(int32_t v) { return static_cast<uint8_t>((v >> 8) & 0xFF); }

bsl::Frame DataBlockFrame(const BslBlock& block) {
  uint8_t payload[4 + BslBlock::kMaxData];
  const int n = block.DataLength();
  payload[0] = Lo(block.address);
  payload[1] = Hi(block.address);
  payload[2] = Lo(n);
  payload[3] = Hi(n);
  std::memcpy(payload + 4, block.data.data(), static_cast<std::size_t>(n));
  return bsl::BuildFrame(bsl::kRxDataBlock, payload, static_cast<std::size_t>(4 + n));
}

bsl::Frame ReadBlockFrame(uint16_t address, int length) {
  return bsl::BuildAddressFrame(bsl::kTxDataBlock, address, static_cast<uint8_t>(length), 0x00);
}

}  // namespace

// ---------------------------------------------------------------- password

void T_BSL430::SendPasswordFrame() {
  uint8_t payload[36];
  std::memset(payload, 0xFF, 4);  // address and length: ignored by the loader
  std::memset(payload + 4, constants.passwordFill, 30);
  payload[34] = Lo(passwordVector);
  payload[35] = Hi(passwordVector);
  SendFrame(bsl::BuildFrame(bsl::kRxPassword, payload, sizeof payload));
}

void T_BSL430::SendPassword() {
  SendPasswordFrame();
  OnAck = &T_BSL430::AfterPassword;
  OnFailure = &T_BSL430::SendPassword;
  errorCode = BslError::kPassword;
}

void T_BSL430::AfterPassword() { SyncThen(&T_BSL430::ReadBslVersion); }

// ------------------------------------------------------- loader and device

void T_BSL430::ReadBslVersion() {
  SendFrame(bsl::BuildFrame(bsl::kTxBslVersion,
                            {bsl::kIgnored, bsl::kIgnored, bsl::kIgnored, bsl::kIgnored}));
  OnAck = nullptr;
  OnFrame = &T_BSL430::EvaluateDeviceInfo;
  OnFailure = &T_BSL430::ReadDeviceInfo;
  errorCode = BslError::kDeviceInfo;
}

// Loaders without the version command still have the identification bytes
// in their information area.
void T_BSL430::ReadDeviceInfo() {
  SendFrame(ReadBlockFrame(kDeviceInfoAddress, kDeviceInfoLength));
  OnFrame = &T_BSL430::EvaluateDeviceInfo;
  OnFailure = &T_BSL430::ReadDeviceInfo;
  errorCode = BslError::kDeviceInfo;
}

void T_BSL430::EvaluateDeviceInfo() {
  // Device id in data bytes 0-1, loader version in data bytes 10-11.
  if (rxFrame[2] < 12) {
    ApplyFailureRule();
    return;
  }
  const DeviceRecord& record = host.Record();
  const int which = commandIndex < 1 ? 0 : 1;
  const int32_t eraseStart = which == 0 ? record.FlashErase2 : record.FlashErase3;
  eraseAddress = eraseStart > 0 ? eraseStart : kDefaultEraseStart;
  const bool keepBaudRate = which == 0 ? record.MainFileMarker : record.SensorFileMarker;

  progressMax += ((eraseAddress - EraseLowerBound()) / kSegmentSize + 2) * 2;
  host.SetProgressMax(progressMax);

  deviceId = rxFrame[4] * 256 + rxFrame[5];
  char text[12];
  std::snprintf(text, sizeof text, "%X.%2X", rxFrame[14], rxFrame[15]);
  bslVersionText = text;
  bslVersion = static_cast<int32_t>(std::strtod(text, nullptr) * 100 + 0.0001);

  if (bslVersion == kPatchedVersion)
    LoadPatch();
  else if (bslVersion >= kFastVersion && !keepBaudRate)
    SyncThen(&T_BSL430::ChangeBaudRate);
  else
    SyncThen(&T_BSL430::EraseSegment);
}

// --------------------------------------------------------------- baud rate

void T_BSL430::ChangeBaudRate() {
  const bool otherClock = deviceId == kDeviceF26F || deviceId == kDeviceF237;
  const uint8_t d1 = otherClock ? 0x80 : 0x00;
  const uint8_t d2 = otherClock ? 0x8C : 0xC8;
  SendFrame(bsl::BuildFrame(bsl::kChangeBaudRate, {d1, d2, 0x02, bsl::kIgnored}));
  OnAck = &T_BSL430::SwitchTo38400;
  OnFailure = &T_BSL430::ChangeBaudRate;
  errorCode = BslError::kBaudRate;
}

// The loader acknowledges at the old speed and needs a moment at the new.
void T_BSL430::SwitchTo38400() {
  host.Delay().DelayTime(kBaudSwitchWaitMs, false);
  host.Port().ChangeV24Parameter(B_38400, S_1, Even, false);
  host.Delay().DelayTime(kBaudSwitchWaitMs, false);
  SyncThen(&T_BSL430::EraseSegment);
}

// ------------------------------------------------------------------- erase

void T_BSL430::EraseSegment() {
  if (eraseAddress >= kHighBase && !memoryOffsetActive) {
    SwitchMemoryOffset(true, &T_BSL430::OffsetSetErase);
    return;
  }
  if (eraseAddress < kHighBase && memoryOffsetActive) {
    eraseAddress -= kSegmentSize;  // the top segment waits until it is programmed
    SwitchMemoryOffset(false, &T_BSL430::OffsetSetErase);
    return;
  }
  const int32_t address = eraseAddress - (memoryOffsetActive ? kHighBase : 0);
  SendFrame(bsl::BuildAddressFrame(bsl::kEraseSegment, static_cast<uint16_t>(address), 0x02, 0xA5));
  OnAck = &T_BSL430::NextEraseSegment;
  OnFailure = eraseAddress < kNoRetryBelow ? &T_BSL430::NextEraseSegment : &T_BSL430::EraseSegment;
  errorCode = BslError::kErase;
}

void T_BSL430::NextEraseSegment() {
  const int32_t next = NextEraseAddress(eraseAddress, EraseLowerBound());
  if (next >= 0) {
    eraseAddress = next;
    SyncThen(&T_BSL430::EraseSegment);
    OnFailure = &T_BSL430::EraseSegment;
    return;
  }
  eraseAddress -= kSegmentSize;
  blockIndex = 0;
  SyncThen(&T_BSL430::ProgramBlock);
}

int32_t T_BSL430::EraseLowerBound() const { return LowerBoundOf(image); }

int32_t FirstUnerasedAddress(const BslImage& image, int32_t eraseStart) {
  std::set<int32_t> erased;  // segment starts
  const int32_t low = LowerBoundOf(image);
  bool high = false;
  for (int32_t address = eraseStart > 0 ? eraseStart : kDefaultEraseStart; address >= 0;
       address = NextEraseAddress(address, low)) {
    // As EraseSegment: leaving high memory skips the top segment, which is
    // erased when its block is programmed.
    if (address >= kHighBase) {
      high = true;
    } else if (high) {
      high = false;
      address -= kSegmentSize;
    }
    erased.insert(SegmentOf(address).first);
  }
  for (const BslBlock& block : image.blocks)
    if (!block.high && block.End() >= kTopSegment) erased.insert(kTopSegment);
  for (const BslBlock& block : image.blocks) {
    const int32_t begin = static_cast<int32_t>(block.FullAddress());
    const int32_t end = begin + block.DataLength();
    // Information memory is the image's own business: the erase never
    // touches the calibration below 0x1080, and images carry data there.
    for (int32_t at = std::max(begin, kLowestMainSegment); at < end; at = SegmentOf(at).second)
      if (erased.count(SegmentOf(at).first) == 0) return at;
  }
  return -1;
}

// ----------------------------------------------------------- memory offset

void T_BSL430::SwitchMemoryOffset(bool high, Step continuation) {
  memoryOffsetWanted = high ? 1 : 0;
  offsetContinuation = continuation;
  SetMemoryOffset();
}

// The continuation is kept apart from OnAck: a retry through SyncThen
// overwrites OnAck, and the retried command must still lead on.
void T_BSL430::SetMemoryOffset() {
  SendFrame(bsl::BuildFrame(bsl::kSetMemoryOffset,
                            {0x00, 0x00, static_cast<uint8_t>(memoryOffsetWanted), bsl::kIgnored}));
  OnAck = offsetContinuation;
  OnFailure = &T_BSL430::SetMemoryOffset;
  errorCode = BslError::kMemoryOffset;
}

void T_BSL430::OffsetSetErase() {
  memoryOffsetActive = memoryOffsetWanted == 1;
  SyncThen(&T_BSL430::EraseSegment);
}

void T_BSL430::OffsetSetProgram() {
  memoryOffsetActive = memoryOffsetWanted == 1;
  SyncThen(&T_BSL430::ProgramBlock);
}

void T_BSL430::OffsetSetVerify() {
  memoryOffsetActive = memoryOffsetWanted == 1;
  SyncThen(&T_BSL430::VerifyBlock);
}

// ------------------------------------------------------------- programming

// The offset follows each block's own place in memory, so that no block is
// ever written or read through the other half's offset.
void T_BSL430::ProgramBlock() {
  const BslBlock& block = image.blocks[static_cast<std::size_t>(blockIndex)];
  const bool top = !block.high && block.End() >= kTopSegment;
  if (top && !topSegmentErased) {
    if (memoryOffsetActive) {
      SwitchMemoryOffset(false, &T_BSL430::OffsetSetProgram);
      return;
    }
    eraseAddress = kTopSegmentErase;
    SendFrame(bsl::BuildAddressFrame(bsl::kEraseSegment, kTopSegmentErase, 0x02, 0xA5));
    OnAck = &T_BSL430::TopSegmentErased;
    OnFailure = &T_BSL430::EraseSegment;
    errorCode = BslError::kTopSegmentErase;
    return;
  }
  if (block.high != memoryOffsetActive) {
    SwitchMemoryOffset(block.high, &T_BSL430::OffsetSetProgram);
    return;
  }
  SendFrame(DataBlockFrame(block));
  OnAck = &T_BSL430::NextProgramBlock;
  OnFailure = &T_BSL430::ProgramBlock;
  errorCode = BslError::kProgram;
}

void T_BSL430::TopSegmentErased() {
  topSegmentErased = true;
  ThroughPatch(&T_BSL430::ProgramBlock);
}

void T_BSL430::NextProgramBlock() {
  if (blockIndex < lastBlock) {
    ++blockIndex;
    ThroughPatch(&T_BSL430::ProgramBlock);
  } else {
    blockIndex = 0;
    ThroughPatch(&T_BSL430::VerifyBlock);
  }
}

// ------------------------------------------------------------ verification

void T_BSL430::VerifyBlock() {
  const BslBlock& block = image.blocks[static_cast<std::size_t>(blockIndex)];
  if (block.high != memoryOffsetActive) {
    SwitchMemoryOffset(block.high, &T_BSL430::OffsetSetVerify);
    return;
  }
  SendFrame(ReadBlockFrame(block.address, block.DataLength()));
  OnFrame = &T_BSL430::CheckVerifyBlock;
  OnFailure = &T_BSL430::VerifyBlock;
  errorCode = BslError::kVerify;
}

// An answer of another length is a difference too: comparing only what
// came would let unverified bytes pass.
bool T_BSL430::FrameMatchesBlock(const BslBlock& block) const {
  const int n = block.DataLength();
  return rxFrame[2] == n &&
         std::memcmp(rxFrame.data() + 4, block.data.data(), static_cast<std::size_t>(n)) == 0;
}

void T_BSL430::CheckVerifyBlock() {
  if (!FrameMatchesBlock(image.blocks[static_cast<std::size_t>(blockIndex)])) {
    Fail();
    return;
  }
  if (blockIndex < lastBlock) {
    ++blockIndex;
    ThroughPatch(&T_BSL430::VerifyBlock);
  } else {
    blockIndex = 0;
    SyncThen(&T_BSL430::StartProgram);
  }
}

// ------------------------------------------------------------------- start

void T_BSL430::StartProgram() {
  const int32_t start = ResetVector(image);
  host.Delay().DelayTime(kStartWaitMs, false);
  SendFrame(bsl::BuildAddressFrame(bsl::kLoadPc, static_cast<uint16_t>(start), bsl::kIgnored,
                                   bsl::kIgnored));
  OnAck = &T_BSL430::Finish;
  OnFailure = &T_BSL430::StartProgram;
  errorCode = BslError::kLoadPc;
}

void T_BSL430::Finish() {
  bslActive = false;
  errorCode = BslError::kNone;
  RestoreLine();
  host.LogLine("Bootloader: load PC acknowledged, the new firmware starts\r\n");
  host.SetProgressPosition(host.ProgressMax());
  host.SetTitleProgress("", 100.0);
  finished = true;
}

// ------------------------------------------------- patch for loader 1.10

void T_BSL430::LoadPatch() {
  // Delivered beside the firmware, in whatever case the share gave it.
  std::string path = FindFileInFolder(ProgramFolder(), kPatchFile);
  if (path.empty()) path = FindFileInFolder("", kPatchFile);
  if (path.empty()) path = kPatchFile;
  const BslImageResult read = LoadBslImage(path, kPatchImageLimits, patch);
  if (!read.ok()) {
    errorCode = BslError::kRefused;
    failureText = BslImageFaultText(read, kPatchFile, language);
    Fail();
    return;
  }
  patchLastBlock = read.lastBlock;
  progressMax = 8 + 8 * (lastBlock + 1) + 4 * (patchLastBlock + 1) + 246;
  host.SetProgressMax(progressMax);
  SyncThen(&T_BSL430::PatchLoadPc);
}

void T_BSL430::PatchLoadPc() {
  SendFrame(
      bsl::BuildAddressFrame(bsl::kLoadPc, kPatchLoaderRestart, bsl::kIgnored, bsl::kIgnored));
  OnAck = &T_BSL430::AfterPatchLoadPc;
  OnFailure = &T_BSL430::PatchLoadPc;
  errorCode = BslError::kPatchLoadPc;
}

void T_BSL430::AfterPatchLoadPc() { SyncThen(&T_BSL430::PatchPassword); }

void T_BSL430::PatchPassword() {
  SendPasswordFrame();
  OnAck = &T_BSL430::AfterPatchPassword;
  OnFailure = &T_BSL430::PatchPassword;
  errorCode = BslError::kPassword;
}

void T_BSL430::AfterPatchPassword() {
  patchIndex = 0;
  SyncThen(&T_BSL430::ProgramPatchBlock);
}

void T_BSL430::ProgramPatchBlock() {
  SendFrame(DataBlockFrame(patch.blocks[static_cast<std::size_t>(patchIndex)]));
  OnAck = &T_BSL430::NextPatchBlock;
  OnFailure = &T_BSL430::ProgramPatchBlock;
  errorCode = BslError::kPatchProgram;
}

void T_BSL430::NextPatchBlock() {
  if (patchIndex < patchLastBlock) {
    ++patchIndex;
    SyncThen(&T_BSL430::ProgramPatchBlock);
  } else {
    patchIndex = 0;
    SyncThen(&T_BSL430::VerifyPatchBlock);
  }
}

void T_BSL430::VerifyPatchBlock() {
  const BslBlock& block = patch.blocks[static_cast<std::size_t>(patchIndex)];
  SendFrame(ReadBlockFrame(block.address, block.DataLength()));
  OnFrame = &T_BSL430::CheckPatchBlock;
  OnFailure = &T_BSL430::VerifyPatchBlock;
  errorCode = BslError::kPatchVerify;
}

void T_BSL430::CheckPatchBlock() {
  if (!FrameMatchesBlock(patch.blocks[static_cast<std::size_t>(patchIndex)])) {
    Fail();
    return;
  }
  if (patchIndex < patchLastBlock) {
    ++patchIndex;
    SyncThen(&T_BSL430::VerifyPatchBlock);
  } else {
    patchIndex = 0;
    patchLoaded = true;
    SyncThen(&T_BSL430::EraseSegment);
  }
}

// The patched loader must be restarted through the patch before each
// block it writes or reads.
void T_BSL430::ThroughPatch(Step next) {
  if (!patchLoaded) {
    SyncThen(next);
    return;
  }
  deferredStep = next;
  SyncThen(&T_BSL430::RunPatch);
}

void T_BSL430::RunPatch() {
  SendFrame(
      bsl::BuildAddressFrame(bsl::kLoadPc, patch.blocks[0].address, bsl::kIgnored, bsl::kIgnored));
  OnAck = &T_BSL430::AfterRunPatch;
  OnFailure = &T_BSL430::RunPatch;
  errorCode = BslError::kPatchStart;
}

void T_BSL430::AfterRunPatch() { SyncThen(deferredStep); }
