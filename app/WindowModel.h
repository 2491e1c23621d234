#pragma once
// WindowModel: what the window shows of a run (the log memo, the status
// panels, the title, the progress bar, whether OK can be pressed), kept
// for the views and the tests and handed on to the view as it changes.
#include <array>
#include <string>
#include <vector>

#include "app/UpdateView.h"

class WindowModel {
 public:
  explicit WindowModel(UpdateView* view) : view_(view ? view : &nullView_) {}
  WindowModel(const WindowModel&) = delete;
  WindowModel& operator=(const WindowModel&) = delete;

  UpdateView& View() { return *view_; }

  void MemoAdd(const std::string& text);
  void MemoClear();
  void SetStatusPanel(int index, const std::string& text);
  void SetProgressPosition(int position);
  void SetProgressMax(int max);
  void SetOkEnabled(bool enabled);
  // Status panel 3 and the title: percent -1 resets them, -1000 and below
  // shows the final mark (doneText), anything else the percentage (at most
  // 100) behind the prefix.
  void SetTitleProgress(const std::string& prefix, double percent, const std::string& doneText);

  const std::vector<std::string>& Memo() const { return memo_; }
  const std::string& StatusPanel(int index) const { return statusPanels_.at(index); }
  const std::string& Title() const { return title_; }
  int ProgressPosition() const { return progress_; }
  int ProgressMax() const { return progressMax_; }
  bool OkEnabled() const { return okEnabled_; }

 private:
  UpdateView nullView_;
  UpdateView* view_;
  std::vector<std::string> memo_;
  std::array<std::string, 4> statusPanels_;
  std::string title_ = "Update";
  int progress_ = 0;
  int progressMax_ = 40;
  bool okEnabled_ = true;
};
