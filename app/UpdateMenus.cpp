// Menu commands, the hidden service keys and the hidden wake-up button.
#include "app/CommandTexts.h"
#include "app/FirmwareFiles.h"
#include "app/UpdateMain.h"
#include "core/Infotext.h"
#include "core/WorkflowCodes.h"
#include "platform/Dialogs.h"
#include "platform/ExternalProgram.h"
#include "platform/ProgramDir.h"

void UpdateMain::ApplyFirmwareScan() {
  FirmwareScan scan = ScanFirmwareFiles(ProgramFolder(), table_);
  match_.firmwareFiles = scan.files;
  view_->SetMenuVisible("TG812qProgramming", scan.menu.TG812qProgrammingVisible);
  const bool enabled[] = {scan.menu.DevMulti812qEnabled, scan.menu.DevpH812qEnabled,
                          scan.menu.DevOxi812qEnabled, scan.menu.DevCond812qEnabled};
  for (int i = 0; i < 4; ++i) view_->SetMenuEnabled(kModelMenuNames[i], enabled[i]);
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
  EndRun(RunOutcome::Failed, RunEnd::Refused);
  return false;
}

// The menu entries talk to a meter that no search has found: they use the
// configured port, or the first usable one.
bool UpdateMain::OpenMenuPort() {
  if (UpdateCom.IsOpen()) return true;
  UpdateCom.Check_AllV24();
  if (!settings_.fixedPort && UpdateCom.GetMaxV24Useable() < 1) {
    ShowMessageBox(Caption(true), FillPlaceholders(InfoText(InfoNoDevice, settings_.language)),
                   MsgIcon::Error);
    return false;
  }
  search_.SetPort(settings_.fixedPort ? settings_.fixedPortIndex : UpdateCom.Get_UseableV24(0));
  SetStatusPanel(0, "Com" + std::to_string(search_.Port() + 1));
  return UpdateCom.Open(this, search_.Port(), true) != INVALID_COM_HANDLE;
}

void UpdateMain::TG812qProgrammingClick(int tag) {
  if (guards_.stopping) return;
  BeginRunRecord();
  view_->SetMenuEnabled("TG812qProgramming", false);
  if (!OpenMenuPort()) {
    EndRun(RunOutcome::Failed);
    return;
  }
  if (!MatchModelEntry(tag)) return;
  ArmReplyWatchdog();
  clock_.queue.PostEvent(Event::kRetryAck);
  clock_.queue.Subscribe(&menuHandler_);
  if (table_.entries.size() > 1) {
    record_.DeviceName = "Device";
    SetIdentity(IdentityField::Name, "Device");
    SetIdentity(IdentityField::Pcb, "");
  }
  PumpEvents();
}

void UpdateMain::LabXXXClick() {
  if (guards_.stopping) return;
  BeginRunRecord();
  view_->SetMenuEnabled("LabXXX", false);
  if (!OpenMenuPort()) {
    EndRun(RunOutcome::Failed);
    return;
  }
  if (!MatchModelEntry(0)) return;
  record_.DirectEntry = true;
  ArmReplyWatchdog();
  clock_.queue.PostEvent(Event::kLabDownload);
  clock_.queue.Subscribe(&menuHandler_);
  PumpEvents();
}

void UpdateMain::LanguageClick(int language) {
  settings_.language = language == 1 ? 1 : 0;
  view_->SetMenuChecked("Deutsch", settings_.language == 0);
  view_->SetMenuChecked("Englisch", settings_.language == 1);
  UpdateCom.SetLanguage(settings_.language);
  const SettingsWrite saved = WriteUpdateIni("Update.ini", settings_);
  if (saved != SettingsWrite::Written)
    ShowMessageBox("Error", SettingsWriteFailure(saved, settings_.language), MsgIcon::Error);
  view_->TranslateWindow(InfoText(InfoLanguageFile, settings_.language));
  if (!settings_.fixedPort && UpdateCom.GetMaxV24Useable() < 1)
    SetStatusPanel(0, InfoText(InfoNoPort, settings_.language));
  MemoClear();
  ShowStartText();
}

void UpdateMain::ReadmeClick() {
  const std::string file = ReadMePath();
  const int language = settings_.language;
  auto failed = [language, file](int status) {
    ShowMessageBox("Update",
                   InfoText(InfoViewerFailed, language) + kDocumentViewer + " " + file + " (" +
                       std::to_string(status) + ")",
                   MsgIcon::Info);
  };
  switch (OpenDocument(file, failed)) {
    case DocumentProblem::None: break;
    case DocumentProblem::FileMissing:
      ShowMessageBox("Update", InfoText(InfoReadmeMissing, language) + file, MsgIcon::Info);
      break;
    case DocumentProblem::ViewerMissing:
      ShowMessageBox("Update", InfoText(InfoViewerMissing, language) + kDocumentViewer,
                     MsgIcon::Info);
      break;
  }
}

void UpdateMain::SWVersionClick() {
  ShowMessageBox(Caption(false), "     Version " + settings_.version + std::string(27, ' '),
                 MsgIcon::Info);
}

void UpdateMain::SpeedButton1Click() {
  std::string_view wake = WakeUpBytes(match_.loaderKind);
  UpdateCom.Write(wake.data(), static_cast<int>(wake.size()), false);
}

void UpdateMain::ShiftF12() { SendClock(true); }
void UpdateMain::CtrlF1() { trafficLog_ = !trafficLog_; }
void UpdateMain::CtrlAltF10() { versionGuard_ = !versionGuard_; }
