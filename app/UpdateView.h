#pragma once
// What the workflow shows. The window and the headless console both
// implement it; the workflow never touches a widget.
#include <string>

enum class IdentityField { Name, Serial, Pcb, Software };

// The model entries under Datei/Programmieren, by tag.
inline constexpr const char* kModelMenuNames[] = {"DevMulti812q", "DevpH812q", "DevOxi812q",
                                                  "DevCond812q"};

// How a run ended, for the headless exit status.
enum class RunOutcome {
  Success,      // the success text was shown
  Failed,       // abort text, refusal, failed transfer
  ProgramEnds,  // the program ends on its own (missing settings, second failed search)
};

class UpdateView {
 public:
  virtual ~UpdateView() = default;

  virtual void MemoClear() {}
  virtual void MemoAdd(const std::string& /*text*/) {}
  virtual void SetStatusPanel(int /*index*/, const std::string& /*text*/) {}
  virtual void SetStatusHint(int /*index*/, const std::string& /*hint*/) {}
  virtual void SetProgressMax(int /*max*/) {}
  virtual void SetProgress(int /*position*/) {}
  virtual void SetTitle(const std::string& /*title*/) {}
  virtual void SetOkEnabled(bool /*enabled*/) {}
  virtual void SetWaitPanelVisible(bool /*visible*/) {}
  // A wait runs on the window's thread (input that would start or change a
  // run is ignored meanwhile).
  virtual void SetWaiting(bool /*waiting*/) {}
  virtual void SetIdentity(IdentityField /*field*/, const std::string& /*text*/) {}
  // Menu items by component name (DevMulti812q, LabXXX, TG812qProgramming …).
  virtual void SetMenuEnabled(const std::string& /*name*/, bool /*enabled*/) {}
  virtual void SetMenuVisible(const std::string& /*name*/, bool /*visible*/) {}
  virtual void SetMenuChecked(const std::string& /*name*/, bool /*checked*/) {}
  virtual void SetFileList(const std::string& /*names*/) {}
  // The window translates its own texts from this language file; views
  // without a window have nothing to translate.
  virtual void TranslateWindow(const std::string& /*dialogFile*/) {}
  // The run has reached an end; the window waits for the user, the console exits.
  virtual void RunEnded(RunOutcome /*outcome*/) {}
};
