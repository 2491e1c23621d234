// Event 10050: the instruments whose firmware runs on Windows CE get their
// programs as files through TWinCEProg.
#include "app/UpdateMain.h"
#include "core/Infotext.h"

bool UpdateMain::WinCeTransferStep() {
  phase_ = RunPhase::SensorAgain;
  ShowDuration(2);
  match_.winCe = true;
  const int32_t inInstrument = record_.StartupVersionInstrument;
  const int32_t inFiles = record_.StartupVersionFiles;
  // The instrument's start-up program is as new as the delivered one.
  if (inInstrument > 0 && inInstrument >= inFiles) match_.RemoveStartupGroup(record_);
  if (MainToBeUpdated() || inInstrument < inFiles) {
    if (!RunWinCeTransfer(record_.MainFile.str(), match_.downloadConfirmed)) return false;
    MemoAdd(InfoText(InfoStoring, settings_.language));
    phase_ = RunPhase::SensorAgain;
  }
  SendClock(false);
  return true;
}
