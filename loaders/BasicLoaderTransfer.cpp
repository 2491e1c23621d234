#include "loaders/BasicLoaderTransfer.h"

#include "core/WorkflowCodes.h"
#include "loaders/TermProg.h"
#include "platform/ProgramDir.h"

BasicLoaderTransfer::BasicLoaderTransfer(LoaderHost& host) : host_(host) {
  quiet_.setSingleShot(true);
  quiet_.setInterval(kNextSegmentWaitMs);
  QObject::connect(&quiet_, &QTimer::timeout, &quiet_, [this] { QuietOver(); });
}

BasicLoaderTransfer::~BasicLoaderTransfer() = default;

int32_t BasicLoaderTransfer::StartEvent() const { return Event::kBasicLoader; }

TransferResult BasicLoaderTransfer::Run(const TransferRequest&) {
  if (!termProg_) termProg_ = std::make_unique<TermProg>(host_);
  quiet_.stop();
  termProg_->SetFolder(ProgramFolder());
  termProg_->Init();
  return TransferResult::Started();
}

bool BasicLoaderTransfer::Sending() const { return termProg_ && termProg_->Sending(); }

void BasicLoaderTransfer::SegmentProgrammed() {
  linesAtSuccess_ = termProg_ ? termProg_->LinesFound() : 0;
  quiet_.start();
}

void BasicLoaderTransfer::QuietOver() {
  if (!termProg_ || termProg_->Stopped()) return;
  // A line since the success: the loader goes on with its next segment,
  // and its next success or failure ends the run.
  if (termProg_->LinesFound() > linesAtSuccess_) return;
  const bool whole = termProg_->EveryByteSent();
  termProg_->ReleaseLine();
  if (onQuietEnd_) onQuietEnd_(whole);
}

void BasicLoaderTransfer::Ended() { quiet_.stop(); }

void BasicLoaderTransfer::Stop() {
  quiet_.stop();
  if (termProg_) termProg_->Stop();
}
