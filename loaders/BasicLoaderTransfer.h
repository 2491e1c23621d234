#pragma once
// BasicLoaderTransfer: the sensor firmware through the instrument's
// Basic-Loader as a transfer method. The loader object is created at the
// first transfer and stays to the end of the program; after each success
// the transfer waits for the loader's next line before it counts as over.
#include <QTimer>
#include <functional>
#include <memory>

#include "loaders/TransferMethod.h"

class LoaderHost;
class TermProg;

class BasicLoaderTransfer : public TransferMethod {
 public:
  // A loader that programs its flash in segments starts the next one right
  // after reporting the last; a real time, never divided.
  static constexpr int kNextSegmentWaitMs = 5000;

  explicit BasicLoaderTransfer(LoaderHost& host);
  ~BasicLoaderTransfer() override;

  std::string Name() const override { return "Basic-Loader"; }
  int32_t StartEvent() const override;
  // A failed sensor transfer is not tried again.
  int32_t RetryEvent() const override { return 0; }
  // Subscribes the loader object and switches the line; the transfer then
  // goes on by events and ends in Event::kSegmentProgrammed or
  // Event::kTransferEnded.
  TransferResult Run(const TransferRequest& request) override;

  bool Sending() const;
  // Event::kSegmentProgrammed: the quiet wait starts.
  void SegmentProgrammed();
  // Event::kTransferEnded.
  void Ended();
  // The window closes.
  void Stop();
  // The loader stayed quiet after a success: the transfer is over; whole
  // when every byte of the image was sent.
  void OnQuietEnd(std::function<void(bool whole)> handler) { onQuietEnd_ = std::move(handler); }
  // The quiet wait's timer, for a window that holds the run's timers while it waits.
  QTimer* QuietTimer() { return &quiet_; }

 private:
  void QuietOver();

  LoaderHost& host_;
  std::unique_ptr<TermProg> termProg_;
  QTimer quiet_;
  int linesAtSuccess_ = 0;
  std::function<void(bool)> onQuietEnd_;
};
