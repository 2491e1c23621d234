// Transfer dispatch: which method carries the firmware of the matched
// instrument, and the bookkeeping around each transfer (its depth, the
// watchdog, the run record). The methods themselves live in loaders/.
#include <algorithm>

#include "app/UpdateMain.h"
#include "platform/Dialogs.h"

bool UpdateMain::TransferActive() const {
  return guards_.transferDepth > 0 || methods_.basicLoader.Sending();
}

void UpdateMain::ShowError(const std::string& caption, const std::string& text) {
  ShowMessageBox(caption, text, MsgIcon::Error);
}

bool UpdateMain::AskRetry(const std::string& caption, const std::string& text, int attempt) {
  return ShowRetryQuestion(caption, text, MsgIcon::Warning, attempt) == MsgResult::Retry;
}

void UpdateMain::ReopenPort(int portIndex) { UpdateCom.Reopen(this, portIndex, true); }

// Every transfer runs here: the handlers know they are entered from inside
// it, and the reply watchdog starts afresh once it is over.
TransferResult UpdateMain::RunTransfer(TransferMethod& method, const TransferRequest& request) {
  ++guards_.transferDepth;
  const TransferResult result = method.Run(request);
  --guards_.transferDepth;
  if (clock_.replyWatchdog.isActive()) clock_.replyWatchdog.start();
  return result;
}

int UpdateMain::RunExternalProgram(const std::string& file) {
  if (guards_.stopping) return static_cast<int>(kProgramNotStarted);
  ExternalLoader& program = methods_.LoaderProgram(match_.loaderKind);
  SetWaitPanelVisible(false);
  TransferRequest request;
  request.file = file;
  request.portIndex = search_.Port();
  const TransferResult result = RunTransfer(program, request);
  recorder_.NoteTransfer(file, program.ProgramName(), !result.Failed());
  // A loader program's success counts once the meter answers after it.
  if (!result.Failed()) guards_.programFile = file;
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
  TransferMethod& method = methods_.bsl430;
  const bool ok = !RunTransfer(method, request).Failed();
  recorder_.NoteTransfer(file, method.Name(), ok);
  if (ok) guards_.confirmedFile = file;
  return ok;
}

bool UpdateMain::RunWinCeTransfer(const std::string& file, bool forceNewAnnounce) {
  TransferRequest request;
  request.file = file;
  request.forceNewAnnounce = forceNewAnnounce;
  const bool ok = !RunTransfer(methods_.winCe, request).Failed();
  if (ok) guards_.confirmedFile = file;
  // Every file of the conversation in the run log; one the instrument
  // skipped with reply 260 did not arrive, although the transfer succeeded.
  const std::vector<std::string>& skipped = methods_.winCe.SkippedFiles();
  auto arrived = [&](const std::string& name) {
    return ok && std::find(skipped.begin(), skipped.end(), name) == skipped.end();
  };
  recorder_.NoteTransfer(file, methods_.winCe.Name(), arrived(file));
  for (const auto& name : record_.DownloadList)
    recorder_.NoteTransfer(name.str(), methods_.winCe.Name(), arrived(name.str()));
  return ok;
}
