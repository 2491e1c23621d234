#pragma once
// The main window's logic: the coordinator of a download run. It owns the
// settings, the device table, the run's record, port and delay, and the
// run's parts (PortSearch, Identification, DeviceMatch, WorkflowClock,
// RunGuards, TransferMethods, WindowModel, RunRecorder); its handlers turn
// each event into a call on one of them. Widgets are not its business: the
// window and the headless console view it.
#include <QObject>
#include <QTimer>
#include <array>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "app/DeviceMatch.h"
#include "app/DeviceTable.h"
#include "app/Identification.h"
#include "app/PortSearch.h"
#include "app/RunRecorder.h"
#include "app/RunGuards.h"
#include "app/RunPhase.h"
#include "app/Settings.h"
#include "app/TransferMethods.h"
#include "app/UpdateView.h"
#include "app/WindowModel.h"
#include "app/WorkflowClock.h"
#include "core/WorkflowCodes.h"
#include "core/DeviceRecord.h"
#include "core/Events.h"
#include "core/LoaderHost.h"
#include "core/Timer.h"
#include "serial/ComPort.h"
#include "serial/Delay.h"
#include "serial/HoldingWait.h"

class UpdateMain : public QObject, public LoaderHost {
  Q_OBJECT

 public:
  static constexpr int kFirmwareListCapacity = 90;

  explicit UpdateMain(UpdateView* view, QObject* parent = nullptr);
  ~UpdateMain() override;

  // Runs the start-up steps; false when the program must end (a settings
  // file is missing; its message has been shown).
  bool Construct();

  // --- user actions (the window and the console call these) ---
  void OkBitBtnClick();
  void EscapeKey();
  void TG812qProgrammingClick(int tag);
  void LabXXXClick();
  void LanguageClick(int language);
  void ReadmeClick();
  void SWVersionClick();
  void SpeedButton1Click();
  void ShiftF12();
  void CtrlF1();
  void CtrlAltF10();
  // The window is closing: the port is closed and its settings restored.
  void Shutdown();
  // SIGINT/SIGTERM: the run that ends next ends as interrupted.
  void NoteInterrupted() { recorder_.NoteInterrupted(); }
  // The run log in use; empty when it is off.
  const std::string& RunLogPath() const { return recorder_.Path(); }
  // SIGINT/SIGTERM: stops what runs (a loader program gets SIGTERM, then
  // SIGKILL) and ends the run with the abort text. False when the run is
  // past its transfer (the loader program has reported success) and is
  // left to end as it would have.
  bool Interrupt();
  // The abort text of the last run offers a retry by OK.
  bool RetryOffered() const;

  // --- the window's waits (UpdateWaits.cpp) ---
  // The window keeps painting through the workflow's waits, which hold its
  // events instead of sleeping; a console keeps the sleeping waits.
  void KeepWindowAlive();
  HoldingWait& Waits() { return holding_; }
  // In the window, while a wait or a transfer runs: input that would start
  // or change a run is not acted on.
  bool InputLocked() const;
  // Asks before the window closes under a transfer or its waits; true to
  // close.
  bool MayClose();

  // --- LoaderHost ---
  EventQueue& Events() override { return clock_.queue; }
  TimerPool& Timers() override { return clock_.timers; }
  TComPort& Port() override { return UpdateCom; }
  TDelay& Delay() override { return wait; }
  DeviceRecord& Record() override { return record_; }
  int Language() const override { return settings_.language; }
  int StartCommandIndex() const override { return match_.startCommandIndex; }
  void PumpEvents() override;
  void WaitForMessages() override;
  void LogLine(const std::string& text) override;
  void MemoAdd(const std::string& text) override;
  void MemoClear() override;
  std::string FillPlaceholders(std::string_view text) override;
  void SetTitleProgress(const std::string& prefix, double percent) override;
  int ProgressPosition() const override { return window_.ProgressPosition(); }
  void SetProgressPosition(int position) override;
  int ProgressMax() const override { return window_.ProgressMax(); }
  void SetProgressMax(int max) override;
  void SetStatusPanel(int index, const std::string& text) override;
  void ShowError(const std::string& caption, const std::string& text) override;
  bool AskRetry(const std::string& caption, const std::string& text, int attempt) override;
  void ReopenPort(int portIndex) override;

  // --- state the views and the tests read ---
  const std::vector<std::string>& Memo() const { return window_.Memo(); }
  const std::string& StatusPanel(int index) const { return window_.StatusPanel(index); }
  const std::string& Title() const { return window_.Title(); }
  bool OkEnabled() const { return window_.OkEnabled(); }
  const UpdateSettings& Settings() const { return settings_; }
  const DeviceTable& Table() const { return table_; }
  const std::vector<std::string>& FirmwareFiles() const { return match_.firmwareFiles; }
  RunPhase Phase() const { return phase_; }
  bool TrafficLog() const { return trafficLog_; }
  bool VersionGuard() const { return versionGuard_; }
  bool TransferActive() const;
  // How long the instrument may stay silent once the run is past the
  // search and no transfer supervises it.
  void SetReplyTimeout(int ms) { clock_.replyWatchdog.setInterval(ms); }

  // Time limits of the run (milliseconds, before UPDATE_TIMEOUT_DIVISOR).
  static constexpr int kReplyTimeoutMs = 120000;
  static constexpr int kLoaderRestartMs = 30000;                // loader program reported success
  static constexpr int kLoaderProgramLimitMs = 60 * 60 * 1000;  // one run of a loader program

 protected:
  void customEvent(QEvent* event) override;

 private:
  friend class UpdateMainTestAccess;

  // --- construction and plumbing (UpdateMain.cpp) ---
  void TimerIntervall(int tag);
  void SecTimerTimer();
  void SetOkEnabled(bool enabled);
  void SetWaitPanelVisible(bool visible);
  void SetIdentity(IdentityField field, const std::string& text);
  void ClearIdentity();
  void ShowStartText();
  std::string Caption(bool error) const;
  bool SendCommand(const std::string& command);
  void ApplyFirmwareScan();

  // --- search, identification and device match (UpdateSearch.cpp) ---
  void StartSearch();
  void ConnectSearch();
  void SearchFound(const std::string& answer);
  void SearchFailed();
  void OnFramingError(unsigned comNumber);
  void ProbeAfterTimeout();
  void ResumeSearch(bool framingError);
  void Identification(const WorkflowEvent& event);
  bool MatchDevice();
  void TakeDeviceEntry(const DeviceEntry& entry);
  bool MatchModelEntry(int index);
  bool OpenMenuPort();
  int CurrentComNumber() const { return search_.Port() + 1; }

  // --- the workflow (UpdateWorkflow.cpp) ---
  void WorkflowHandler(EventQueue& queue, WorkflowEvent& event);
  void RetryHandler(EventQueue& queue, WorkflowEvent& event);
  void MenuProgrammingHandler(EventQueue& queue, WorkflowEvent& event);
  // The laboratory image runs: the usual search finds its firmware.
  void SearchAfterLabImage();
  void OnAcknowledge();
  void ShowDuration(int mode);
  void SendClock(bool seconds);
  void FinishOk();
  void FinishAbort(int code);
  void SensorPhase();
  bool MainToBeUpdated() const;
  bool SensorToBeUpdated() const;

  // --- Windows-CE instruments (UpdateWinCe.cpp) ---
  // Event 10050: false when a transfer ran and failed.
  bool WinCeTransferStep();
  // How a run ended, as the run log words it.
  enum class RunEnd { Failed, Refused };
  void EndRun(RunOutcome outcome, RunEnd how = RunEnd::Failed);
  void ArmReplyWatchdog();
  void ReplyWatchdogExpired();
  // The port's line hung up (adapter unplugged).
  void OnPortDisconnected();
  // Ports the search could not use, and why, into the log.
  void ReportSkippedPorts();

  // --- the run log (UpdateRunLog.cpp) ---
  void BeginRunRecord() {
    recorder_.Begin();
    guards_.confirmedFile.clear();
  }
  // The recorder observes the run's end: its line is written here.
  void EndRunRecord(RunOutcome outcome, RunEnd how);

  // --- transfer dispatch (UpdateTransfers.cpp) ---
  TransferMethod& MainMethod() { return methods_.MainMethod(match_.loaderKind); }
  TransferResult RunTransfer(TransferMethod& method, const TransferRequest& request);
  // The program's exit code; 0 on success.
  int RunExternalProgram(const std::string& file);
  bool RunBsl430(int commandIndex, const std::string& file, bool syncFirst, bool queryVector);
  bool RunWinCeTransfer(const std::string& file, bool forceNewAnnounce);

  // --- ends and guards of a run (UpdateWorkflow.cpp) ---
  void LoaderSilenceExpired();
  void SendBootCommand(const std::string& command);
  bool ProbingForLoader() const;

  WindowModel window_;
  UpdateView* view_;  // the window model's view

  UpdateSettings settings_;
  DeviceTable table_;
  DeviceRecord record_;
  DeviceMatch match_;  // the matched instrument's facts that outlive a phase

  // Declared before what it holds events of, and before the port and the
  // delay that use it: it goes last.
  HoldingWait holding_;
  WorkflowClock clock_;
  // From the laboratory image's load PC to the search for its firmware,
  // unless its greeting comes first.
  QTimer labStart_;
  static constexpr int kLabStartMs = 10'000;
  TComPort UpdateCom;
  TDelay wait;
  // The transfer methods use the port, the delay and the queue above.
  TransferMethods methods_{*this};
  PortSearch search_{UpdateCom, this};
  ::Identification identification_{UpdateCom, clock_.queue, clock_.timers};

  MemberSubscriber<UpdateMain> workflowHandler_{this, &UpdateMain::WorkflowHandler};
  MemberSubscriber<UpdateMain> retryHandler_{this, &UpdateMain::RetryHandler};
  MemberSubscriber<UpdateMain> menuHandler_{this, &UpdateMain::MenuProgrammingHandler};

  // Where the run stands, and what must not happen now.
  RunPhase phase_ = RunPhase::Open;
  RunGuards guards_;

  // The hidden service switches (Ctrl+F1, Ctrl+Alt+F10).
  bool trafficLog_ = false;
  bool versionGuard_ = true;

  RunRecorder recorder_;
  bool insideLogLine_ = false;  // a traffic line is no run message
};
