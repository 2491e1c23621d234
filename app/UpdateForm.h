#pragma once
// TUpdateForm, the main window: a thin view over UpdateMain. It shows what the workflow
// reports, turns clicks and keys into workflow calls, and shows the
// message boxes.
#include <QMainWindow>
#include <array>
#include <memory>

#include "app/UpdateView.h"
#include "language/TSprachDialog.h"
#include "platform/Dialogs.h"

class QLabel;
class UpdateMain;
namespace Ui {
class UpdateForm;
}

class TUpdateForm : public QMainWindow, public UpdateView, public DialogSink {
  Q_OBJECT

 public:
  explicit TUpdateForm(QWidget* parent = nullptr);
  ~TUpdateForm() override;

  // Runs the start-up; false when the program must end.
  bool Construct();
  UpdateMain& Main() { return *main_; }
  const Ui::UpdateForm& Form() const { return *ui_; }

  // The translation component: the window's texts come from its Dialogfile.
  TSprachDialog UpdateSprachDialog;

  // UpdateView
  void MemoClear() override;
  void MemoAdd(const std::string& text) override;
  void SetStatusPanel(int index, const std::string& text) override;
  void SetStatusHint(int index, const std::string& hint) override;
  void SetProgressMax(int max) override;
  void SetProgress(int position) override;
  void SetTitle(const std::string& title) override;
  void SetOkEnabled(bool enabled) override;
  void SetWaitPanelVisible(bool visible) override;
  void SetWaiting(bool waiting) override;
  void SetIdentity(IdentityField field, const std::string& text) override;
  void SetMenuEnabled(const std::string& name, bool enabled) override;
  void SetMenuVisible(const std::string& name, bool visible) override;
  void SetMenuChecked(const std::string& name, bool checked) override;
  void SetFileList(const std::string& names) override;
  void TranslateWindow(const std::string& dialogFile) override;
  void RunEnded(RunOutcome outcome) override;

  // DialogSink
  MsgResult Show(const std::string& caption, const std::string& text, MsgIcon icon,
                 MsgButtons buttons) override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  QAction* MenuAction(const std::string& name) const;
  // The serial settings dialog of the service key, in the window's language.
  void OpenSettingsDialog();

  std::unique_ptr<Ui::UpdateForm> ui_;
  std::array<QLabel*, 4> panels_{};
  std::unique_ptr<UpdateMain> main_;
};

// Runs the program with its window; returns the exit status.
// deliveryGiven: --delivery named the folder, so a remembered one is not
// taken in its place.
int RunWindow(int argc, char** argv, bool deliveryGiven = false);
