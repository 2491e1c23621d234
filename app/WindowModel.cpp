#include "app/WindowModel.h"

#include <cstdio>

void WindowModel::MemoAdd(const std::string& text) {
  memo_.push_back(text);
  view_->MemoAdd(text);
}

void WindowModel::MemoClear() {
  memo_.clear();
  view_->MemoClear();
}

void WindowModel::SetStatusPanel(int index, const std::string& text) {
  if (index < 0 || index >= static_cast<int>(statusPanels_.size())) return;
  statusPanels_[index] = text;
  view_->SetStatusPanel(index, text);
}

void WindowModel::SetProgressPosition(int position) {
  progress_ = position;
  view_->SetProgress(position);
}

void WindowModel::SetProgressMax(int max) {
  progressMax_ = max;
  view_->SetProgressMax(max);
}

void WindowModel::SetOkEnabled(bool enabled) {
  okEnabled_ = enabled;
  view_->SetOkEnabled(enabled);
}

void WindowModel::SetTitleProgress(const std::string& prefix, double percent,
                                   const std::string& doneText) {
  if (percent > 100) percent = 100;
  char buf[64];
  std::snprintf(buf, sizeof buf, " %3.1f %%", percent);
  const std::string text = buf;
  if (percent > -2 && percent < 0) {
    title_ = "Update";
    SetStatusPanel(3, "");
  } else if (percent >= -999) {
    SetStatusPanel(3, prefix + text);
    title_ = "Update [" + text + "]";
  } else {
    title_ = doneText;
    SetStatusPanel(3, title_);
  }
  view_->SetTitle(title_);
}
