// The window's waits: the workflow's waits keep the window painting, input
// that would start or change a run waits for them, and closing the window
// under a transfer asks first.
#include "app/UpdateMain.h"
#include "core/Infotext.h"
#include "platform/Dialogs.h"

namespace {

// Worded as the tool's other questions are.
std::string CloseQuestion(int language) {
  return language == 1
             ? "A download is still running. If the program ends now, the instrument may stay in "
               "its boot loader.\r\nDo you want to exit the program nevertheless?"
             : "Ein Download l\xE4uft noch. Wird das Programm jetzt beendet, bleibt das Ger\xE4t "
               "eventuell im Bootloader.\r\nWollen Sie das Programm trotzdem beenden ?";
}

}  // namespace

void UpdateMain::KeepWindowAlive() {
  wait.SetHoldingWait(&holding_);
  UpdateCom.SetHoldingWait(&holding_);
  holding_.onWaitingChanged = [this](bool waiting) { view_->SetWaiting(waiting); };
}

bool UpdateMain::InputLocked() const {
  return wait.Holding() != nullptr && (holding_.Waiting() || TransferActive());
}

bool UpdateMain::MayClose() {
  // Past the identification the reply watchdog runs until the run ends; a
  // wait before that (the search's) leaves nothing half done.
  const bool busy = TransferActive() || (holding_.Waiting() && clock_.replyWatchdog.isActive());
  if (!busy) return true;
  return ShowMessageBox(Caption(false), CloseQuestion(settings_.language), MsgIcon::Question,
                        MsgButtons::YesNo) == MsgResult::Yes;
}
