#pragma once
// Bsl430Transfer: the MSP430 bootstrap-loader download as a transfer
// method. A T_BSL430 is created for each transfer and gone after it.
#include "loaders/TransferMethod.h"

class LoaderHost;

class Bsl430Transfer : public TransferMethod {
 public:
  explicit Bsl430Transfer(LoaderHost& host) : host_(host) {}

  std::string Name() const override { return "MSP430 bootstrap loader"; }
  int32_t StartEvent() const override;
  int32_t RetryEvent() const override;
  // The image and the loader constants are checked at the start of Run,
  // before the meter hears its boot command from there.
  TransferResult Run(const TransferRequest& request) override;

 private:
  LoaderHost& host_;
};
