// Transfer dispatch: which method carries the firmware of the matched
// instrument, and the bookkeeping around each transfer (its depth, the
// watchdog, the run record). The methods themselves live in loaders/.
#include "app/UpdateMain.h"
#include "platform/Dialogs.h"

bool UpdateMain::TransferActive() const { return guards_.transferDepth > 0 || methods_.basicLoader.Sending(); }

void UpdateMain::ShowError(const std::string& caption, const std::string& text) {
  ShowMessageBox(caption, text, MsgIcon::Error);
}

bool UpdateMain::AskRetry(const std::string& caption, const std::string& text, int attempt) {
  return ShowRetryQuestion(caption, text, MsgIcon::Warning, attempt) == MsgResult::Retry;
}

void UpdateMain::ReopenPort(int portIndex) { UpdateCom.Open(this, portIndex, true); }

int UpdateMain::RunExternalProgram(const std::string& file) {
  if (guards_.stopping) return static_cast<int>(kProgramNotStarted);
  ExternalLoader& program = methods_.LoaderProgram(match_.loaderKind);
  SetWaitPanelVisible(false);
  TransferRequest request;
  request.file = file;
  request.portIndex = search_.Port();
  ++guards_.transferDepth;
  const TransferResult result = program.Run(request);
  --guards_.transferDepth;
  recorder_.NoteTransfer(file, program.ProgramName(), !result.Failed());
  if (clock_.replyWatchdog.isActive()) clock_.replyWatchdog.start();
  if (!result.Failed() && !guards_.stopping) clock_.loaderSilence.start();
  return result.code;
}

bool UpdateMain::RunBsl430(int commandIndex, const std::string& file, bool syncFirst,
                           bool queryVector) {
  if (guards_.stopping) return false;
  TransferRequest request;
  request.file = file;
  request.commandIndex = commandIndex;
  request.syncFirst = syncFirst;
  request.queryVector = queryVector;
  ++guards_.transferDepth;
  const bool ok = !methods_.bsl430.Run(request).Failed();
  --guards_.transferDepth;
  recorder_.NoteTransfer(file, methods_.bsl430.Name(), ok);
  if (clock_.replyWatchdog.isActive()) clock_.replyWatchdog.start();
  return ok;
}

bool UpdateMain::RunWinCeTransfer(const std::string& file, bool forceNewAnnounce) {
  TransferRequest request;
  request.file = file;
  request.forceNewAnnounce = forceNewAnnounce;
  ++guards_.transferDepth;
  const bool ok = !methods_.winCe.Run(request).Failed();
  --guards_.transferDepth;
  if (clock_.replyWatchdog.isActive()) clock_.replyWatchdog.start();
  return ok;
}
