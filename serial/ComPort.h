#pragma once
// The serial-port component: every conversation with an instrument goes
// through one TComPort. It opens a port of the port table exclusively,
// configures the line from a V24ParameterTag, runs a receive thread that
// posts ComMessageEvent notifications to its owner and a transmit thread for
// background blocks, and offers blocking reads and blocking or background
// writes with fixed result codes. All operations belong to the owner's
// thread.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/SerialDevice.h"
#include "serial/V24Parameter.h"

class HoldingWait;
class QObject;
class QWidget;
class TV24Read_Thread;
class TV24Write_Thread;

// Result of Open: a token for the opened port (neither 0 nor all bits set),
// INVALID_COM_HANDLE when the port could not be opened, NULL_COM_HANDLE
// when the component was already open.
using ComHandle = uintptr_t;
inline constexpr ComHandle INVALID_COM_HANDLE = ~ComHandle{0};
inline constexpr ComHandle NULL_COM_HANDLE = 0;

// Result codes of Read and Write; any other result is a byte count (>= 0).
inline constexpr int COM_NOT_OPEN = -10;  // the port is not open
inline constexpr int COM_TX_BUSY = -1;    // transmitter busy; nothing sent, retry later
inline constexpr int COM_TX_ERROR =
    -100;  // a block went out short; nothing sent until GetWriteStatus
inline constexpr int COM_BLOCK_TOO_LONG =
    -20;  // block over kComMaxBlock after framing; nothing sent

// Most bytes one Write carries after framing.
inline constexpr int kComMaxBlock = 32768;

// Why a port could not be had: the device path and the errno of the open
// (EBUSY for a port another program holds exclusively), and the holder
// when /proc tells it.
struct PortFailure {
  std::string path;
  int error = 0;
  std::string holder;
};

class QDialog;

class TComPort {
 public:
  // The parent is accepted for the form's sake; whoever constructs the
  // component owns it.
  explicit TComPort(QObject* parent = nullptr);
  // A component for one port of a search: it uses the given port table
  // snapshot and probes no port on construction.
  explicit TComPort(std::vector<std::string> portTable);
  ~TComPort();
  TComPort(const TComPort&) = delete;
  TComPort& operator=(const TComPort&) = delete;

  // 0 German, anything else English.
  void SetLanguage(int language) { language_ = language; }
  int Language() const { return language_; }

  TV24Parameter* V24() { return &v24_; }
  void SetV24(TV24Parameter* source);
  TDlgParameter* V24Dialog() { return &v24Dialog_; }
  void SetV24Dlg(TDlgParameter* source);
  bool StreamOn() const { return streamOn_; }
  void SetStreamOn(bool value) { streamOn_ = value; }
  bool AutoSearch() const { return autoSearch_; }
  void SetAutoSearch(bool value) { autoSearch_ = value; }
  const std::string& Datei() const { return datei_; }
  void SetDatei(const std::string& value) { datei_ = value; }

  // The live record (switches the settings-file binding off).
  V24ParameterTag* GetV24Parameter();
  // Stores the record for the next Open and sets AutoSearch.
  void InitParameter(const V24ParameterTag* record, bool autoSearch);

  // Opens port index `port` (0 = COM1; -1 = the record's Schnittstelle).
  // The owner receives the ComMessageEvent notifications and must outlive
  // the open port. Returns a ComHandle as documented above; on failure with
  // showError a message box names the port (and the reason, when a
  // phrasing has been installed with SetFailureText).
  ComHandle Open(QObject* owner, int port, bool showError);
  // Open again after another program (a loader) used the port: Close then
  // puts back the line as it was before this program's run changed it, not
  // as the other program left it. Only for the port closed last.
  ComHandle Reopen(QObject* owner, int port, bool showError);
  // Why the last Open failed.
  const PortFailure& LastFailure() const { return lastFailure_; }
  // The upper layers phrase port failures in the current language.
  using FailureText = std::function<std::string(const PortFailure&, int language)>;
  void SetFailureText(FailureText text) { failureText_ = std::move(text); }
  // Waits for a background block (or its time-out), ends both threads and
  // puts the line configuration found by Open back. Nothing when closed.
  void Close();
  // The window's waits: a drain that output held up by flow control makes
  // long (up to 1 s) keeps the window painting. None: the caller blocks.
  void SetHoldingWait(HoldingWait* hold) { hold_ = hold; }
  bool IsOpen() const { return open_; }
  // Takes the open line of `from` as it stands: no byte, no line setting
  // and no modem line changes, and unread input stays queued, so a
  // conversation that `from` began goes on here. `owner` receives the
  // notifications from now on; `from` is left closed. False (and nothing
  // changed) when `from` is not open.
  bool TakeOver(TComPort& from, QObject* owner);
  // Port index of the open port, -1 when closed.
  int OpenPort() const { return open_ ? port_ : -1; }

  // Reads up to `length` bytes into buffer (which holds length + 1): ends
  // when length bytes came, 20 ms after a byte without another, or after
  // length + RXTimeOut ms. Leaves a NUL after the bytes; returns the count
  // or COM_NOT_OPEN. Drops NUL bytes while KeinNullZeichen is in force.
  // A line that hung up closes the port: COM_NOT_OPEN from then on, and the
  // owner gets WM_COM_DISCONNECT.
  int Read(char* buffer, unsigned long length);
  // As Read, but takes only the bytes already received and never waits.
  int ReadAvailable(char* buffer, unsigned long length);
  // length -1: up to the terminating NUL. Under KVX_XonXoff the block goes
  // out as 0x13, data, 0x11. Background: queued, the block length returned
  // at once. Blocking: sent within length + TXTimeOut ms. Results: block
  // length, 0 for an empty block, COM_NOT_OPEN, COM_TX_BUSY, COM_TX_ERROR,
  // COM_BLOCK_TOO_LONG.
  int Write(const char* data, int length, bool background);
  // Clears the transmit error latch.
  void GetWriteStatus();
  // Bytes of the last block that reached the line: after COM_TX_ERROR, how
  // much of the cut block went out before its time-out. 0 when closed.
  int LastBlockWritten() const;
  // Blocks until a background block has gone out or been cut by its
  // time-out (the transmitter is idle); false when closed or still busy
  // after timeoutMs.
  bool WaitWriteIdle(int timeoutMs);
  // Ends a background block in progress now instead of at its time-out, as
  // if that time-out had come (COM_TX_ERROR, LastBlockWritten); a stopped
  // transfer must not keep the port for a write the line does not take.
  void CutWrite();
  // The next character posts a new WM_COM_RXDATA.
  void Reset_SetAktiv();

  // Path of a port lost to a hang-up since the last call, once; closes the
  // port if it is still open on that line. Empty when nothing was lost.
  std::string TakeLostDevice();

  // Line changes on the open port; failures do not stop the caller, but the
  // last one is kept (LineFault). Nothing when closed.
  void ChangeV24Parameter(BaudTag baud, StopBitTag stop, ParitaetTag parity, bool nullDiscard);
  void ChangeBaudrate(BaudTag baud);
  void ChangeHandShake(HandshakeTag handshake);
  // The speed in force on the open line: ChangeBaudrate and
  // ChangeV24Parameter leave the V24 record alone, so only the line knows
  // the speed a search found. The record's speed when closed.
  BaudTag LineBaudrate() const;
  // One saved slot, kept across Close and Open once filled.
  void SaveLastV24Parameter();
  void LoadLastV24Parameter();
  // How the driver took the last line setting, and its errno.
  LineCheck LineFault() const { return lineCheck_; }
  int LineError() const { return device_.LineError(); }
  // Discards received bytes not yet read (after a speed change, bytes that
  // came at the old rate are garbage at the new one).
  void PurgeInput();

  // Port lists: devices (present) and usable (could be opened now). Takes
  // the snapshot of the port table that Open, DevicePath and PortTable use
  // until the next call.
  void Check_AllV24();
  int GetMaxV24Devices() const { return deviceCount_; }
  int GetMaxV24Useable() const { return useableCount_; }
  // Entry at a 0-based position; 0 beyond the count.
  uint8_t Get_DeviceV24(int position) const;
  uint8_t Get_UseableV24(int position) const;
  // Device path of a port index from the port table; empty when none.
  std::string DevicePath(int index) const;
  // The snapshot itself, as handed to external programs.
  const std::vector<std::string>& PortTable() const { return table_; }
  // Why a port of the table was not usable at the last Check_AllV24
  // (error 0: usable or absent).
  PortFailure SkipReason(int index) const;

  // The settings dialog: shows the line in force (port and speed of an
  // open port), lets the user change what V24Dialog allows and stores what
  // was changed. An open port is reopened with a change, unless lineInUse
  // (a run owns the line): then the port is not touched at all and the
  // change waits for the next open. `prepare` runs on the built dialog
  // before it is shown (the application translates it there).
  using DialogPrepare = std::function<void(QDialog&)>;
  void OpenDialog(QWidget* owner, bool lineInUse = false, const DialogPrepare& prepare = {});

 private:
  bool TryOpen(int index);
  void ShowOpenError(int index) const;
  void CloseAfterHangup();
  // Runs work, which may drain the output first, aside while the window
  // holds when there is output to drain.
  void Draining(const std::function<void()>& work);

  TV24Parameter v24_;
  TDlgParameter v24Dialog_;
  bool streamOn_ = false;
  bool autoSearch_ = false;
  std::string datei_ = "ComData.cfg";
  int language_ = 0;

  bool open_ = false;
  int port_ = -1;
  ComHandle handle_ = INVALID_COM_HANDLE;
  ComHandle nextHandle_ = 1;
  QObject* owner_ = nullptr;
  HoldingWait* hold_ = nullptr;
  bool draining_ = false;         // a drain runs aside
  bool closeAfterDrain_ = false;  // Close was asked meanwhile
  HandshakeTag handshake_ = NoHandshake;
  bool nullDiscard_ = false;
  long rxTimeOut_ = 0;
  SerialDevice device_;
  // The line as it was before the tool changed it, kept over a Close for
  // Reopen.
  std::shared_ptr<const termios> closedLine_;
  int closedLinePort_ = -1;
  LineCheck lineCheck_ = LineCheck::Ok;
  PortFailure lastFailure_;
  FailureText failureText_;
  std::string lostDevice_;
  std::vector<std::string> table_;
  std::vector<int> skipErrors_;  // errno per table entry at the last Check_AllV24
  std::unique_ptr<TV24Read_Thread> readThread_;
  std::unique_ptr<TV24Write_Thread> writeThread_;

  struct SavedLine {
    LineSnapshot line;
    bool nullDiscard = false;
    HandshakeTag handshake = NoHandshake;  // the framing Write applies
  } saved_;
  bool savedValid_ = false;

  char staging_[kComMaxBlock];  // a framed block is formed here
  uint8_t devices_[257] = {};
  uint8_t useable_[257] = {};
  int deviceCount_ = 0;
  int useableCount_ = 0;
};
