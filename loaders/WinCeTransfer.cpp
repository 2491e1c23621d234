#include "loaders/WinCeTransfer.h"

#include "core/WorkflowCodes.h"
#include "loaders/WinCEProg.h"

int32_t WinCeTransfer::StartEvent() const { return Event::kWinCe; }
int32_t WinCeTransfer::RetryEvent() const { return Event::kWinCe; }

TransferResult WinCeTransfer::Run(const TransferRequest& request) {
  TWinCEProg transfer(host_);
  const bool ok = transfer.Transfer(0, request.file, request.forceNewAnnounce);
  skipped_ = transfer.SkippedFiles();
  if (ok) return TransferResult::Success();
  return TransferResult::Failure(1, "Windows-CE transfer failed");
}
