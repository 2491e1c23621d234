#pragma once
// TransferMethod: one way of bringing firmware into an instrument (a
// loader program, the MSP430 bootstrap loader, the Basic-Loader, the
// Windows-CE file transfer). The workflow reaches every method through
// this interface; a method speaks to the window only through its host.
#include <cstdint>
#include <string>

// What one transfer is asked to do. Each method reads the fields it knows.
struct TransferRequest {
  std::string file;               // the image, a name in the program's folder
  int portIndex = 0;              // the run's port (0-based)
  int commandIndex = 0;           // MSP430: the instrument commands that start its loader
  bool syncFirst = true;          // MSP430: SYNC first when the meter already waits in its loader
  bool queryVector = false;       // MSP430: ask the meter for its password vector
  bool forceNewAnnounce = false;  // Windows CE: announce every file anew
};

struct TransferResult {
  enum class Status { Success, Failure, Started };
  Status status = Status::Success;
  int code = 0;         // the method's failure code (exit code, loader error); 0 otherwise
  std::string message;  // what failed, for the log; empty otherwise

  static TransferResult Success() { return {}; }
  static TransferResult Failure(int code, std::string message = {}) {
    return {Status::Failure, code, std::move(message)};
  }
  // The transfer goes on driven by events; its end arrives as an event.
  static TransferResult Started() { return {Status::Started, 0, {}}; }
  bool Failed() const { return status == Status::Failure; }
};

class TransferMethod {
 public:
  virtual ~TransferMethod() = default;
  // How the run log names the method.
  virtual std::string Name() const = 0;
  // The workflow event that starts the transfer once the meter is matched,
  // and the one OK posts to try a failed transfer again (core/WorkflowCodes.h).
  virtual int32_t StartEvent() const = 0;
  virtual int32_t RetryEvent() const = 0;
  // Runs before the boot command sends the meter into its loader, from
  // where only the transfer gets it out again. False when the transfer
  // could not run; the reason has been shown through the host. Methods
  // that send their own boot command check at the start of Run instead,
  // before the meter hears a byte.
  virtual bool Ready() { return true; }
  virtual TransferResult Run(const TransferRequest& request) = 0;
};
