// Event 10050: the instruments whose firmware runs on Windows CE get their
// programs as files through TWinCEProg.
#include "app/UpdateMain.h"
#include "core/Infotext.h"

bool UpdateMain::WinCeTransferStep() {
  phase_ = RunPhase::SensorAgain;
  ShowDuration(2);
  winCe_ = true;
  const int32_t inInstrument = record_.StartupVersionInstrument;
  const int32_t inFiles = record_.StartupVersionFiles;
  // The instrument's start-up program is as new as the delivered one.
  if (inInstrument > 0 && inInstrument >= inFiles) RemoveStartupGroup();
  if (MainToBeUpdated() || inInstrument < inFiles) {
    if (!RunWinCeTransfer(record_.MainFile.str(), downloadConfirmed_)) return false;
    MemoAdd(InfoText(InfoStoring, settings_.language));
    phase_ = RunPhase::SensorAgain;
  }
  SendClock(false);
  return true;
}

// The group is the start-up program and the programs read after it by the
// version check. The bounds are cleared once used: a retry runs this step
// again, and the same indexes would then name other files.
void UpdateMain::RemoveStartupGroup() {
  const int begin = startupGroupBegin_;
  const int end = startupGroupEnd_;
  startupGroupBegin_ = startupGroupEnd_ = -1;
  const int size = static_cast<int>(record_.DownloadList.size());
  if (begin < 0 || end < begin || end >= size) return;
  record_.DownloadList.erase(record_.DownloadList.begin() + begin,
                             record_.DownloadList.begin() + end + 1);
  record_.DownloadListLength = static_cast<int32_t>(record_.DownloadList.size());
}
