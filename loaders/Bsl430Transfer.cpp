#include "loaders/Bsl430Transfer.h"

#include "core/WorkflowCodes.h"
#include "loaders/Bsl430.h"
#include "platform/ProgramDir.h"

int32_t Bsl430Transfer::StartEvent() const { return Event::kBslMain; }
int32_t Bsl430Transfer::RetryEvent() const { return Event::kBslRetry; }

TransferResult Bsl430Transfer::Run(const TransferRequest& request) {
  T_BSL430 loader(host_);
  // Firmware lives in the program folder; a run from another working
  // folder (an installed program, one port of --all-ports) finds it there.
  if (loader.Download(request.commandIndex, FirmwarePath(request.file), request.syncFirst,
                      request.queryVector))
    return TransferResult::Success();
  return TransferResult::Failure(loader.GetErrorCode(),
                                 "bootstrap loader code " + std::to_string(loader.GetErrorCode()));
}
