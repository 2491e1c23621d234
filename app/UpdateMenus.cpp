// Menu commands, the hidden service keys and the hidden wake-up button.
#include "app/CommandTexts.h"
#include "app/FirmwareFiles.h"
#include "app/UpdateMain.h"
#include "core/Infotext.h"
#include "platform/Dialogs.h"
#include "platform/ExternalProgram.h"
#include "platform/ProgramDir.h"

namespace {

constexpr int kEventLabDownload = 10045;
constexpr int kEventRetryAck = 10040;
constexpr const char* kModelMenus[] = {"DevMulti812q", "DevpH812q", "DevOxi812q", "DevCond812q"};

}  // namespace

void UpdateMain::ApplyFirmwareScan() {
  FirmwareScan scan = ScanFirmwareFiles(ProgramFolder(), table_);
  firmwareFiles_ = scan.files;
  view_->SetMenuVisible("TG812qProgramming", scan.menu.TG812qProgrammingVisible);
  const bool enabled[] = {scan.menu.DevMulti812qEnabled, scan.menu.DevpH812qEnabled,
                          scan.menu.DevOxi812qEnabled, scan.menu.DevCond812qEnabled};
  for (int i = 0; i < 4; ++i) view_->SetMenuEnabled(kModelMenus[i], enabled[i]);
  view_->SetMenuEnabled("LabXXX", scan.menu.LabXXXEnabled);
  std::string names;
  for (const auto& n : scan.listBoxNames) names += n + "\n";
  view_->SetFileList(names);
  for (const auto& note : scan.notes) MemoAdd(note + "\r\n");
}

// A meter waiting in its loader cannot tell who it is: the model entry
// stands in for the identification.
bool UpdateMain::MatchModelEntry(int index) {
  if (index < 0 || index >= static_cast<int>(table_.entries.size())) return false;
  const DeviceEntry& entry = table_.entries[static_cast<std::size_t>(index)];
  record_.PcbNumber = entry.DeviceNrDef.view();
  record_.DeviceNumber = entry.DeviceNr.view();
  record_.DeviceName = entry.DeviceName.view();
  if (MatchDevice()) return true;
  EndRun(RunOutcome::Failed);
  return false;
}

void UpdateMain::TG812qProgrammingClick(int tag) {
  view_->SetMenuEnabled("TG812qProgramming", false);
  if (!MatchModelEntry(tag)) return;
  ArmReplyWatchdog();
  queue_.PostEvent(kEventRetryAck);
  queue_.Subscribe(&menuHandler_);
  if (table_.entries.size() > 1) {
    record_.DeviceName = "Device";
    SetIdentity(IdentityField::Name, "Device");
    SetIdentity(IdentityField::Pcb, "");
  }
  PumpEvents();
}

void UpdateMain::LabXXXClick() {
  view_->SetMenuEnabled("LabXXX", false);
  if (!MatchModelEntry(0)) return;
  record_.DirectEntry = true;
  ArmReplyWatchdog();
  queue_.PostEvent(kEventLabDownload);
  queue_.Subscribe(&menuHandler_);
  PumpEvents();
}

void UpdateMain::LanguageClick(int language) {
  settings_.language = language == 1 ? 1 : 0;
  view_->SetMenuChecked("Deutsch", settings_.language == 0);
  view_->SetMenuChecked("Englisch", settings_.language == 1);
  UpdateCom.SetLanguage(settings_.language);
  if (WriteUpdateIni("Update.ini", settings_) != 0)
    ShowMessageBox("Error", "Konfigurationsdatei 1 nicht vorhanden!!Programm wird beendet",
                   MsgIcon::Error);
  view_->TranslateWindow(InfoText(InfoLanguageFile, settings_.language));
  MemoClear();
  ShowStartText();
}

void UpdateMain::ReadmeClick() {
  if (!OpenDocument(ProgramFolder() + "/ReadMe.pdf"))
    ShowMessageBox("Update", "Programm konnte nicht gestartet werden!", MsgIcon::Info);
}

void UpdateMain::SWVersionClick() {
  ShowMessageBox(Caption(false), "     Version " + settings_.version + std::string(27, ' '),
                 MsgIcon::Info);
}

void UpdateMain::SpeedButton1Click() {
  std::string_view wake = WakeUpBytes(loaderKind_);
  UpdateCom.Write(wake.data(), static_cast<int>(wake.size()), false);
}

void UpdateMain::ShiftF12() { SendClock(true); }
void UpdateMain::CtrlF1() { trafficLog_ = !trafficLog_; }
void UpdateMain::CtrlAltF10() { versionGuard_ = !versionGuard_; }
