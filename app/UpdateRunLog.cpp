// The run's end as the run log records it: the coordinator hands the
// recorder what it knows when the run ends.
#include "app/ProgramVersion.h"
#include "app/UpdateMain.h"

void UpdateMain::EndRunRecord(RunOutcome outcome, RunEnd how) {
  if (!recorder_.Active()) return;
  RunEndFacts facts;
  facts.outcome = outcome;
  facts.refused = how == RunEnd::Refused;
  if (recorder_.MeterSeen()) {
    facts.comNumber = CurrentComNumber();
    facts.devicePath = UpdateCom.DevicePath(search_.Port());
  }
  facts.fileVersion = record_.MainFileVersion.str();
  facts.method = MainMethod().Name();
  facts.toolVersion = ProgramVersion();
  facts.settingsVersion = settings_.version;
  facts.language = settings_.language;
  const std::string warning = recorder_.End(facts);
  if (!warning.empty()) MemoAdd(warning);
}
