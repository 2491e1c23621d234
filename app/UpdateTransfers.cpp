// Transfer dispatch: which method carries the firmware of the matched
// instrument, and the bookkeeping around each transfer (its depth, the
// watchdog, the run record). The methods themselves live in loaders/.
#include "app/UpdateMain.h"
#include "platform/Dialogs.h"

TransferMethod& UpdateMain::MainMethod() {
  switch (loaderKind_) {
    case kLoaderTiTxt: return bsl430_;
    case kLoaderWinCe: return winCeTransfer_;
    case kLoaderIntelHex: return pic32_;
    case kLoaderSRecord: break;
  }
  return hexLoad_;
}

// The extra file and "TestDevice.mot" go through the loader program of the
// instrument family: HEXLoad for S-record and TI-TXT instruments, the PIC32
// loader for Windows-CE and Intel-hex ones.
ExternalLoader& UpdateMain::LoaderProgram() {
  return loaderKind_ == kLoaderSRecord || loaderKind_ == kLoaderTiTxt ? hexLoad_ : pic32_;
}

bool UpdateMain::TransferActive() const { return transferDepth_ > 0 || basicLoader_.Sending(); }

void UpdateMain::ShowError(const std::string& caption, const std::string& text) {
  ShowMessageBox(caption, text, MsgIcon::Error);
}

bool UpdateMain::AskRetry(const std::string& caption, const std::string& text, int attempt) {
  return ShowRetryQuestion(caption, text, MsgIcon::Warning, attempt) == MsgResult::Retry;
}

void UpdateMain::ReopenPort(int portIndex) { UpdateCom.Open(this, portIndex, true); }

int UpdateMain::RunExternalProgram(const std::string& file) {
  if (stopping_) return static_cast<int>(kProgramNotStarted);
  ExternalLoader& program = LoaderProgram();
  SetWaitPanelVisible(false);
  TransferRequest request;
  request.file = file;
  request.portIndex = comPort_;
  ++transferDepth_;
  const TransferResult result = program.Run(request);
  --transferDepth_;
  NoteTransfer(file, program.ProgramName(), !result.Failed());
  if (replyWatchdog_.isActive()) replyWatchdog_.start();
  if (!result.Failed() && !stopping_) loaderSilence_.start();
  return result.code;
}

bool UpdateMain::RunBsl430(int commandIndex, const std::string& file, bool syncFirst,
                           bool queryVector) {
  if (stopping_) return false;
  TransferRequest request;
  request.file = file;
  request.commandIndex = commandIndex;
  request.syncFirst = syncFirst;
  request.queryVector = queryVector;
  ++transferDepth_;
  const bool ok = !bsl430_.Run(request).Failed();
  --transferDepth_;
  NoteTransfer(file, bsl430_.Name(), ok);
  if (replyWatchdog_.isActive()) replyWatchdog_.start();
  return ok;
}

bool UpdateMain::RunWinCeTransfer(const std::string& file, bool forceNewAnnounce) {
  TransferRequest request;
  request.file = file;
  request.forceNewAnnounce = forceNewAnnounce;
  ++transferDepth_;
  const bool ok = !winCeTransfer_.Run(request).Failed();
  --transferDepth_;
  if (replyWatchdog_.isActive()) replyWatchdog_.start();
  return ok;
}
