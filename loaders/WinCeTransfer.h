#pragma once
// WinCeTransfer: the Windows-CE file transfer as a transfer method. A
// TWinCEProg is created for each transfer and gone after it.
#include <string>
#include <vector>

#include "loaders/TransferMethod.h"

class LoaderHost;

class WinCeTransfer : public TransferMethod {
 public:
  explicit WinCeTransfer(LoaderHost& host) : host_(host) {}

  std::string Name() const override { return "Windows-CE file transfer"; }
  int32_t StartEvent() const override;
  // The whole step again: the start-up program check and the transfer.
  int32_t RetryEvent() const override;
  // The files are checked at the start of Run, before the instrument
  // hears a byte.
  TransferResult Run(const TransferRequest& request) override;
  // The files the instrument abandoned with reply 260 in the last Run.
  const std::vector<std::string>& SkippedFiles() const { return skipped_; }

 private:
  LoaderHost& host_;
  std::vector<std::string> skipped_;
};
