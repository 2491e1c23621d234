// The window through the workflow's waits (offscreen): input that would
// start or change a run is not acted on while a wait or a transfer runs, and
// closing the window under a transfer's wait asks first.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QJsonArray>
#include <QKeyEvent>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <cstdlib>
#include <functional>
#include <optional>

#include "app/UpdateForm.h"
#include "app/UpdateMain.h"
#include "core/Infotext.h"
#include "tests/app/RecordingDialogSink.h"
#include "tests/e2e/E2eWorld.h"

namespace {

// The window against a test world, told of each end of a run.
class WatchedWindow : public TUpdateForm {
 public:
  void RunEnded(RunOutcome outcome) override {
    TUpdateForm::RunEnded(outcome);
    outcomes.push_back(outcome);
    if (loop_) loop_->quit();
  }

  // Runs the event loop until the next end of a run (or `until` holds,
  // checked whenever a wait ends), or the time-out.
  std::optional<RunOutcome> WaitForEnd(std::function<bool()> until = {}) {
    const std::size_t before = outcomes.size();
    QEventLoop loop;
    loop_ = &loop;
    until_ = std::move(until);
    QTimer::singleShot(120000, &loop, &QEventLoop::quit);
    loop.exec();
    loop_ = nullptr;
    if (outcomes.size() == before) return std::nullopt;
    return outcomes.back();
  }

  // `act` runs inside every wait of the window's thread, once it has begun.
  void DuringEachWait(std::function<void()> act) {
    HoldingWait& waits = Main().Waits();
    waits.onWaitingChanged = [this, shows = waits.onWaitingChanged, act](bool waiting) {
      shows(waiting);
      if (waiting)
        QTimer::singleShot(0, this, act);
      else if (loop_ && until_ && until_())
        loop_->quit();
    };
  }

  std::vector<RunOutcome> outcomes;

 private:
  QEventLoop* loop_ = nullptr;
  std::function<bool()> until_;
};

struct WorldEnvironment {
  explicit WorldEnvironment(E2eWorld& w) {
    setenv("UPDATE_PORTS", w.Ports().c_str(), 1);
    setenv("UPDATE_PROGRAM_DIR", w.Folder().c_str(), 1);
    w.Dir().Enter();
  }
  ~WorldEnvironment() {
    unsetenv("UPDATE_PORTS");
    unsetenv("UPDATE_PROGRAM_DIR");
  }
};

std::vector<std::string> Commands(const QJsonObject& report) {
  std::vector<std::string> lines;
  for (const auto& l : SimProcess::ReceivedLines(report))
    if (!l.empty()) lines.push_back(l.rfind("A.1600#", 0) == 0 ? "A.1600#" : l);
  return lines;
}

// An S-record meter with the first start command: after the loader
// program the run waits 12 s (divided here) before the clock command.
const std::vector<std::string> kWholeRun = {"A.1111", "A.1000", "A.2003",  "A.2000", "A.2001",
                                            "A.4001", "A.1200", "A.1600#", "A.1111"};

void Release(QWidget& window, int key, Qt::KeyboardModifiers modifiers) {
  QKeyEvent release(QEvent::KeyRelease, key, modifiers);
  QCoreApplication::sendEvent(&window, &release);
}

}  // namespace

TEST(WindowWaits, InputDuringAWaitIsNotActedOn) {
  E2eWorld w;
  w.PrepareExternalDelivery(0);
  SimProcess& meter = w.AddSim(ExternalProfile());
  WorldEnvironment environment(w);

  WatchedWindow window;
  ASSERT_TRUE(window.Construct());
  UpdateMain& main = window.Main();
  main.Delay().SetDividend(20);
  RecordingDialogSink boxes;
  auto action = [&](const char* name) { return window.findChild<QAction*>(name); };

  int inputs = 0;
  int unlocked = 0;
  bool dialogShown = false;
  window.DuringEachWait([&] {
    ++inputs;
    if (!main.InputLocked()) ++unlocked;
    // A dialog that opens is noted and closed again.
    QTimer::singleShot(0, &window, [&] {
      if (QWidget* modal = QApplication::activeModalWidget()) {
        dialogShown = true;
        modal->close();
      }
    });
    // As the widgets deliver them, enabled or not: the window must refuse.
    emit window.findChild<QPushButton*>("OkBitBtn")->clicked();
    emit window.findChild<QToolButton*>("SpeedButton1")->clicked();
    for (const char* entry : {"LabXXX", "DevMulti812q", "Englisch"})
      emit action(entry)->triggered();
    Release(window, Qt::Key_F12, Qt::ShiftModifier);
    Release(window, Qt::Key_F1, Qt::ControlModifier);
    Release(window, Qt::Key_F10, Qt::ControlModifier | Qt::AltModifier);
  });

  main.OkBitBtnClick();
  ASSERT_EQ(window.WaitForEnd(), RunOutcome::Success);
  const QJsonObject report = meter.Stop();

  EXPECT_GT(inputs, 0);
  EXPECT_EQ(unlocked, 0);
  EXPECT_FALSE(dialogShown);
  EXPECT_TRUE(boxes.shown.empty()) << boxes.shown.front().text;
  EXPECT_EQ(main.Settings().language, 0);
  EXPECT_TRUE(action("Deutsch")->isChecked());
  EXPECT_FALSE(main.TrafficLog());
  EXPECT_TRUE(main.VersionGuard());
  // No second search, no clock command of Shift+F12, no wake-up bytes, no
  // laboratory download: the meter heard the run and nothing else.
  EXPECT_EQ(Commands(report), kWholeRun) << SimProcess::EventLog(report);
  EXPECT_TRUE(report.value("violations").toArray().isEmpty());
}

TEST(WindowWaits, ClosingUnderTheStoringWaitAsksFirst) {
  struct Case {
    int language;
    bool duringWait;  // false: the window closes before any run
    MsgResult answer;
    const char* question;
  };
  const Case cases[] = {
      {0, false, MsgResult::Yes, nullptr},
      {0, true, MsgResult::No, "Ein Download l\xE4uft noch."},
      {1, true, MsgResult::Yes, "A download is still running."},
  };
  const bool quitOnClose = QApplication::quitOnLastWindowClosed();
  QApplication::setQuitOnLastWindowClosed(false);
  for (const Case& c : cases) {
    SCOPED_TRACE("language " + std::to_string(c.language) +
                 (c.duringWait ? ", in the wait" : ", idle"));
    E2eWorld w;
    w.PrepareExternalDelivery(c.language);
    SimProcess& meter = w.AddSim(ExternalProfile());
    WorldEnvironment environment(w);

    WatchedWindow window;
    ASSERT_TRUE(window.Construct());
    window.show();
    UpdateMain& main = window.Main();
    main.Delay().SetDividend(20);
    RecordingDialogSink boxes;
    boxes.answers = {c.answer};

    if (!c.duringWait) {
      EXPECT_TRUE(window.close());
      EXPECT_TRUE(boxes.shown.empty());
      continue;
    }
    const std::string storing = InfoText(InfoStoring, c.language);
    bool closeTried = false;
    window.DuringEachWait([&] {
      if (closeTried || !main.Waits().Holding() || main.Memo().empty() ||
          main.Memo().back() != storing)
        return;
      closeTried = true;
      window.close();
    });
    main.OkBitBtnClick();
    // After Yes the run stops where it was: no ending follows the wait.
    const std::optional<RunOutcome> end = window.WaitForEnd(
        [&] { return c.answer == MsgResult::Yes && closeTried && !main.Waits().Waiting(); });
    const QJsonObject report = meter.Stop();

    ASSERT_TRUE(closeTried);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].caption, "Info");
    EXPECT_EQ(boxes.shown[0].buttons, MsgButtons::YesNo);
    EXPECT_EQ(boxes.shown[0].text.rfind(c.question, 0), 0u) << boxes.shown[0].text;
    std::vector<std::string> heard = Commands(report);
    if (c.answer == MsgResult::No) {
      // The run went on as if nothing had happened.
      EXPECT_TRUE(window.isVisible());
      EXPECT_EQ(end, RunOutcome::Success);
      EXPECT_EQ(heard, kWholeRun) << SimProcess::EventLog(report);
    } else {
      // Closed and stopped: no clock command after the wait, the port let go.
      EXPECT_FALSE(window.isVisible());
      EXPECT_EQ(heard, std::vector<std::string>(kWholeRun.begin(), kWholeRun.end() - 2))
          << SimProcess::EventLog(report);
      EXPECT_FALSE(main.Port().IsOpen());
    }
  }
  QApplication::setQuitOnLastWindowClosed(quitOnClose);
}
