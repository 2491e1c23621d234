// The Basic-Loader transfer of sensor firmware as a part of the run: the
// loader object is created at its step and stays to the end; the run ends
// when the loader stops, or when it stays quiet after a success.
#include "app/UpdateMain.h"
#include "loaders/TermProg.h"
#include "platform/ProgramDir.h"

namespace {

// A loader that programs its flash in segments starts the next one right
// after reporting the last; a real time, never divided.
constexpr int kNextSegmentWaitMs = 5000;

}  // namespace

void UpdateMain::StartBasicLoader() {
  if (!termProg_) {
    termProg_ = std::make_unique<TermProg>(*this);
    basicLoaderQuiet_.setSingleShot(true);
    basicLoaderQuiet_.setInterval(kNextSegmentWaitMs);
    connect(&basicLoaderQuiet_, &QTimer::timeout, this, &UpdateMain::BasicLoaderQuietOver);
  }
  basicLoaderQuiet_.stop();
  termProg_->SetFolder(ProgramFolder());
  termProg_->Init();
}

bool UpdateMain::BasicLoaderSending() const { return termProg_ && termProg_->Sending(); }

bool UpdateMain::TransferActive() const { return transferDepth_ > 0 || BasicLoaderSending(); }

void UpdateMain::BasicLoaderSegmentProgrammed() {
  basicLoaderLinesAtSuccess_ = termProg_ ? termProg_->LinesFound() : 0;
  basicLoaderQuiet_.start();
}

void UpdateMain::BasicLoaderQuietOver() {
  if (!termProg_ || termProg_->Stopped()) return;
  // A line since the success: the loader goes on with its next segment,
  // and its next success or failure ends the run.
  if (termProg_->LinesFound() > basicLoaderLinesAtSuccess_) return;
  const bool whole = termProg_->EveryByteSent();
  termProg_->ReleaseLine();
  EndRun(whole ? RunOutcome::Success : RunOutcome::Failed);
}

void UpdateMain::BasicLoaderEnded() {
  basicLoaderQuiet_.stop();
  EndRun(RunOutcome::Failed);
}
