#pragma once
// The main window's logic: it owns the settings, the device table, the
// record of the run, the event queue with its timers, the serial port and
// the delay, and drives the whole download run from events. Widgets are
// not its business: the window and the headless console view it.
#include <QObject>
#include <QTimer>
#include <array>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "app/DeviceTable.h"
#include "app/ReplyParser.h"
#include "app/RunLog.h"
#include "app/Settings.h"
#include "app/UpdateView.h"
#include "core/DeviceRecord.h"
#include "core/Events.h"
#include "core/LoaderHost.h"
#include "core/Timer.h"
#include "platform/ExternalProgram.h"
#include "serial/ComPort.h"
#include "serial/Delay.h"
#include "serial/HoldingWait.h"

class TermProg;

class UpdateMain : public QObject, public LoaderHost {
  Q_OBJECT

 public:
  static constexpr int kKeyOk = 13;
  static constexpr int kKeyEscape = 27;
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
  void NoteInterrupted() { runInterrupted_ = true; }
  // The run log in use; empty when it is off.
  const std::string& RunLogPath() const { return runLogPath_; }
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
  EventQueue& Events() override { return queue_; }
  TimerPool& Timers() override { return timers_; }
  TComPort& Port() override { return UpdateCom; }
  TDelay& Delay() override { return wait; }
  DeviceRecord& Record() override { return record_; }
  int Language() const override { return settings_.language; }
  int StartCommandIndex() const override { return startCommandIndex_; }
  void PumpEvents() override;
  void WaitForMessages() override;
  void LogLine(const std::string& text) override;
  void MemoAdd(const std::string& text) override;
  void MemoClear() override;
  std::string FillPlaceholders(std::string_view text) override;
  void SetTitleProgress(const std::string& prefix, double percent) override;
  int ProgressPosition() const override { return progress_; }
  void SetProgressPosition(int position) override;
  int ProgressMax() const override { return progressMax_; }
  void SetProgressMax(int max) override;
  void SetStatusPanel(int index, const std::string& text) override;

  // --- state the views and the tests read ---
  const std::vector<std::string>& Memo() const { return memo_; }
  const std::string& StatusPanel(int index) const { return statusPanels_.at(index); }
  const std::string& Title() const { return title_; }
  bool OkEnabled() const { return okEnabled_; }
  const UpdateSettings& Settings() const { return settings_; }
  const DeviceTable& Table() const { return table_; }
  const std::vector<std::string>& FirmwareFiles() const { return firmwareFiles_; }
  int Step() const { return step_; }
  bool TrafficLog() const { return trafficLog_; }
  bool VersionGuard() const { return versionGuard_; }
  bool TransferActive() const;
  // How long the instrument may stay silent once the run is past the
  // search and no transfer supervises it.
  void SetReplyTimeout(int ms) { replyWatchdog_.setInterval(ms); }

  // Time limits of the run (milliseconds, before UPDATE_TIMEOUT_DIVISOR).
  static constexpr int kReplyTimeoutMs = 120000;
  static constexpr int kLoaderRestartMs = 30000;  // loader program reported success
  static constexpr int kLoaderStopGraceMs = 5000;  // SIGTERM to SIGKILL
  static constexpr int kLoaderProgramLimitMs = 60 * 60 * 1000;  // one run of a loader program

 protected:
  void customEvent(QEvent* event) override;

 private:
  friend class UpdateMainTestAccess;

  // --- construction and plumbing (UpdateMain.cpp) ---
  void TimerIntervall(int tag);
  void SecTimerTimer();
  void TitleTimerTimer();
  void SetOkEnabled(bool enabled);
  void SetWaitPanelVisible(bool visible);
  void SetIdentity(IdentityField field, const std::string& text);
  void ClearIdentity();
  void ShowStartText();
  std::string Caption(bool error) const;
  bool SendCommand(const std::string& command);
  void ApplyFirmwareScan();

  // --- search and identification (UpdateSearch.cpp) ---
  void StartSearch();
  bool ProbeNextPort(bool advance);
  void SearchFailed();
  void ParseReceived();
  void OnFramingError();
  void ProbeAfterTimeout();
  void Identification(const WorkflowEvent& event);
  void SendIdentificationQuery();
  bool MatchDevice();
  void TakeDeviceEntry(const DeviceEntry& entry);
  bool MatchModelEntry(int index);
  bool OpenMenuPort();
  int CurrentComNumber() const { return comPort_ + 1; }

  // --- the workflow (UpdateWorkflow.cpp) ---
  void WorkflowHandler(EventQueue& queue, WorkflowEvent& event);
  void RetryHandler(EventQueue& queue, WorkflowEvent& event);
  void MenuProgrammingHandler(EventQueue& queue, WorkflowEvent& event);
  void OnAcknowledge();
  void ShowDuration(int mode);
  void SendClock(bool seconds);
  void FinishOk();
  void FinishAbort(int code);
  void SensorPhase();
  bool MainToBeUpdated() const;
  bool SensorToBeUpdated() const;
  int RunExternalProgram(const std::string& file);
  bool RunBsl430(int commandIndex, const std::string& file, bool syncFirst, bool queryVector);

  // --- Windows-CE instruments (UpdateWinCe.cpp) ---
  // Event 10050: false when a transfer ran and failed.
  bool WinCeTransferStep();
  void RemoveStartupGroup();
  bool RunWinCeTransfer(const std::string& file, bool forceNewAnnounce);
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
  void ConfigureRunLog();
  void BeginRunRecord();
  void NoteMeterIdentity();
  void NoteDeviceEntry(const DeviceEntry& entry);
  void NoteTransfer(const std::string& file, const char* method, bool transferred);
  void EndRunRecord(RunOutcome outcome, RunEnd how);
  std::string FirmwarePath(const std::string& file) const;

  // --- the Basic-Loader transfer (BasicLoaderRun.cpp) ---
  void StartBasicLoader();
  void BasicLoaderSegmentProgrammed();
  void BasicLoaderQuietOver();
  void BasicLoaderEnded();
  bool BasicLoaderSending() const;
  void LoaderSilenceExpired();
  void SendBootCommand(const std::string& command);
  bool ProbingForLoader() const;
  int TimeLimit(int ms) const;

  // --- external loader programs (ExternalLoaders.cpp) ---
  unsigned RunHexLoad(const std::string& file);
  unsigned RunPic32Loader(const std::string& file);
  void WriteHexLoadIni();
  std::string LoaderProgramPath() const;
  bool LoaderProgramUsable();
  unsigned RunLoaderProgram(const std::vector<std::string>& command, const std::string& file,
                            bool hexLoad);

  UpdateView nullView_;
  UpdateView* view_;

  UpdateSettings settings_;
  DeviceTable table_;
  DeviceRecord record_;
  int startCommandIndex_ = 0;
  LoaderKind loaderKind_ = kLoaderSRecord;

  // Declared before what it holds events of, and before the port and the
  // delay that use it: it goes last.
  HoldingWait holding_;
  EventQueue queue_;
  TimerPool timers_;
  std::array<QTimer, 5> poolTimers_;  // Timer1..Timer5
  QTimer SecTimer;
  QTimer TitleTimer;
  QTimer replyWatchdog_;
  QTimer loaderSilence_;  // from a loader program's success to the meter's first byte
  ExternalProgram loaderProcess_;
  TComPort UpdateCom;
  TDelay wait;

  MemberSubscriber<UpdateMain> workflowHandler_{this, &UpdateMain::WorkflowHandler};
  MemberSubscriber<UpdateMain> retryHandler_{this, &UpdateMain::RetryHandler};
  MemberSubscriber<UpdateMain> menuHandler_{this, &UpdateMain::MenuProgrammingHandler};

  std::vector<std::string> firmwareFiles_;

  // Window state mirrored for the views.
  std::vector<std::string> memo_;
  std::array<std::string, 4> statusPanels_;
  std::string title_ = "Update";
  int progress_ = 0;
  int progressMax_ = 40;
  bool okEnabled_ = true;

  // Workflow state.
  int step_ = 0;
  bool refused_ = false;
  bool preLoader_ = false;
  int timeoutHandle_ = 0;
  bool trafficLog_ = false;
  bool versionGuard_ = true;
  bool downloadConfirmed_ = false;
  bool sensorPresent_ = false;
  bool usbOnly_ = false;
  bool winCe_ = false;
  int bslCommandIndex_ = 0;
  int startupGroupBegin_ = -1;
  int startupGroupEnd_ = -1;
  std::string bootCommand_ = "A.1200\r\n";
  int titleTicks_ = 0;
  int expectedTicks_ = 1;
  int pumpReentry_ = 0;
  bool insidePump_ = false;
  int transferDepth_ = 0;
  bool stopping_ = false;           // interrupted or ending: nothing new starts
  bool endedAfterStop_ = false;     // the interrupted run has shown its ending
  bool loaderSucceeded_ = false;    // inside RunLoaderProgram, the program ended with 0
  bool bootCommandPending_ = false; // the boot command waits for its "!"
  bool labAfterProbe_ = false;      // the probe's SYNC was acknowledged: no SYNC first

  // Search state.
  int portCount_ = 0;
  int portIndex_ = -1;
  int comPort_ = 0;  // port index in use
  std::size_t baudIndex_ = 0;
  std::vector<uint8_t> portBaud_;  // BaudTag per searched port
  bool framingError_ = false;
  int framingReprobes_ = 0;  // probes of the current port again after framing errors
  int identStep_ = 0;
  int failedSearches_ = 0;
  bool hintShown_ = false;
  std::string lostDevice_;  // the port of this run that was unplugged

  ReplyParser parser_;

  // Run log state.
  std::string runLogPath_;
  bool runActive_ = false;
  bool runInterrupted_ = false;
  bool runEscaped_ = false;
  bool meterSeen_ = false;
  bool insideLogLine_ = false;
  RunRecord runRecord_;
  std::chrono::steady_clock::time_point runStart_;
  // The Basic-Loader object lives from its transfer's start to the end of
  // the program; after each success the run waits for the loader's next
  // line before it ends.
  std::unique_ptr<TermProg> termProg_;
  QTimer basicLoaderQuiet_;
  int basicLoaderLinesAtSuccess_ = 0;
};
