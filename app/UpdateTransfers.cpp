// Transfer dispatch: which method carries the firmware of the matched
// instrument, and the bookkeeping around each transfer (its depth, the
// watchdog, the run record). The methods themselves live in loaders/.
#include "app/UpdateMain.h"
#include "platform/Dialogs.h"

bool UpdateMain::TransferActive() const { return transferDepth_ > 0 || methods_.basicLoader.Sending(); }

void UpdateMain::ShowError(const std::string& caption, const std::string& text) {
  ShowMessageBox(caption, text, MsgIcon::Error);
}

bool UpdateMain::AskRetry(const std::string& caption, const std::string& text, int attempt) {
  return ShowRetryQuestion(caption, text, MsgIcon::Warning, attempt) == MsgResult::Retry;
}

void UpdateMain::ReopenPort(int portIndex) { UpdateCom.Reopen(this, portIndex, true); }

int UpdateMain::RunExternalProgram(const std::string& file) {
  if (stopping_) return static_cast<int>(kProgramNotStarted);
  ExternalLoader& program = methods_.LoaderProgram(loaderKind_);
  SetWaitPanelVisible(false);
  TransferRequest request;
  request.file = file;
  request.portIndex = search_.Port();
  ++transferDepth_;
  const TransferResult result = program.Run(request);
  --transferDepth_;
  recorder_.NoteTransfer(file, program.ProgramName(), !result.Failed());
  // A loader program's success counts once the meter answers after it.
  if (!result.Failed()) programFile_ = file;
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
  const bool ok = !methods_.bsl430.Run(request).Failed();
  --transferDepth_;
  recorder_.NoteTransfer(file, methods_.bsl430.Name(), ok);
  if (ok) confirmedFile_ = file;
  if (replyWatchdog_.isActive()) replyWatchdog_.start();
  return ok;
}

bool UpdateMain::RunWinCeTransfer(const std::string& file, bool forceNewAnnounce) {
  TransferRequest request;
  request.file = file;
  request.forceNewAnnounce = forceNewAnnounce;
  ++transferDepth_;
  const bool ok = !methods_.winCe.Run(request).Failed();
  --transferDepth_;
  if (ok) confirmedFile_ = file;
  if (replyWatchdog_.isActive()) replyWatchdog_.start();
  return ok;
}
