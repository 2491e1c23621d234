#include "serial/ComPort.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

#include "platform/Dialogs.h"
#include "platform/PortHolder.h"
#include "platform/PortTable.h"
#include "serial/ComMessages.h"
#include "serial/HoldingWait.h"
#include "serial/V24Dialog.h"
#include "serial/V24Threads.h"

namespace {

// Bytes that frame a block under KVX_XonXoff: the instrument buffers what
// comes between XOFF and XON.
constexpr char kXoff = 0x13;
constexpr char kXon = 0x11;
// A read ends this long after a byte without another.
constexpr long kReadIntervalMs = 20;

LineParity ParityOf(ParitaetTag parity) {
  switch (parity) {
    case Odd: return LineParity::Odd;
    case Even: return LineParity::Even;
    case Mark: return LineParity::Mark;
    case Space: return LineParity::Space;
    default: return LineParity::None;
  }
}

// 1.5 stop bits have no termios form; 2 is the nearer safe choice.
int StopBitsOf(StopBitTag stop) { return stop == S_1 ? 1 : 2; }

LineFlow FlowOf(HandshakeTag handshake) {
  switch (handshake) {
    case RTS_CTS: return LineFlow::RtsCts;
    case XonXoff:
    case KVX_XonXoff: return LineFlow::XonXoff;
    default: return LineFlow::None;
  }
}

}  // namespace

TComPort::TComPort(QObject*) { Check_AllV24(); }

TComPort::TComPort(std::vector<std::string> portTable) : table_(std::move(portTable)) {
  if (table_.size() > static_cast<size_t>(kMaxPorts)) table_.resize(kMaxPorts);
  skipErrors_.assign(table_.size(), 0);
}

TComPort::~TComPort() { Close(); }

void TComPort::SetV24(TV24Parameter* source) {
  if (source == nullptr || source == &v24_) return;
  *v24_.GetParameter(false, "") = *source->GetParameter(false, "");
}

void TComPort::SetV24Dlg(TDlgParameter* source) {
  if (source != nullptr) v24Dialog_.SetFlags(source->Flags());
}

V24ParameterTag* TComPort::GetV24Parameter() { return v24_.GetParameter(false, ""); }

void TComPort::InitParameter(const V24ParameterTag* record, bool autoSearch) {
  v24_.SetParameter(record);
  autoSearch_ = autoSearch;
}

bool TComPort::TryOpen(int index) {
  lastFailure_ = PortFailure{};
  lastFailure_.path = DevicePath(index);
  if (device_.Open(lastFailure_.path) == PortOpenStatus::Ok) return true;
  lastFailure_.error = device_.OpenError();
  if (lastFailure_.error == EBUSY || lastFailure_.error == EWOULDBLOCK)
    lastFailure_.holder = PortHolderName(lastFailure_.path);
  return false;
}

void TComPort::ShowOpenError(int index) const {
  char name[16];
  std::snprintf(name, sizeof name, "COM%u", static_cast<unsigned>(index + 1));
  char text[96];
  if (language_ == 0)
    std::snprintf(text, sizeof text,
                  "%s konnte nicht ge\xF6"
                  "ffnet werden!",
                  name);
  else
    std::snprintf(text, sizeof text, "Cannot open %s! ", name);
  std::string shown = text;
  if (failureText_ && lastFailure_.error != 0)
    shown += "\r\n" + failureText_(lastFailure_, language_);
  ShowMessageBox(language_ == 0 ? "Fehler" : "Error", shown, MsgIcon::Error, MsgButtons::Ok);
}

ComHandle TComPort::Open(QObject* owner, int port, bool showError) {
  if (open_) return NULL_COM_HANDLE;
  V24ParameterTag record = *v24_.GetParameter(streamOn_, datei_);
  int index = record.Schnittstelle;
  if (port != -1) index = port;
  if (autoSearch_) index = 0;
  owner_ = owner;
  lostDevice_.clear();

  bool opened = TryOpen(index);
  if (!opened && autoSearch_) {
    // COM1 first, then every present port in list order.
    for (int i = 0; i < deviceCount_ && !opened; ++i) {
      if (devices_[i] == 0) continue;
      index = devices_[i];
      opened = TryOpen(index);
    }
  }
  if (!opened) {
    if (showError) ShowOpenError(index);
    return INVALID_COM_HANDLE;
  }

  record.Schnittstelle = static_cast<ComTag>(index);
  v24_.SetParameter(&record);
  open_ = true;
  port_ = index;
  handle_ = nextHandle_++;
  if (nextHandle_ == INVALID_COM_HANDLE) nextHandle_ = 1;

  writeThread_ = std::make_unique<TV24Write_Thread>(false, device_, record.TXTimeOut);
  readThread_ = std::make_unique<TV24Read_Thread>(true, index, device_, owner);

  handshake_ = record.Handshake;
  nullDiscard_ = record.KeinNullZeichen;
  rxTimeOut_ = record.RXTimeOut;
  LineSettings line;
  line.baud = BaudRateOf(record.Baudrate);
  line.dataBits = DataBitsOf(record.DatenBits);
  line.parity = ParityOf(record.Paritaet);
  line.stopBits = StopBitsOf(record.StopBits);
  line.flow = FlowOf(record.Handshake);
  lineCheck_ = device_.ConfigureRaw(line);  // a refused setting does not stop the run

  // The first Write right after Open must not meet a transmitter that has
  // not reached its idle state yet.
  writeThread_->WaitUntilIdle(std::chrono::milliseconds(2000));
  readThread_->Resume();
  return handle_;
}

ComHandle TComPort::Reopen(QObject* owner, int port, bool showError) {
  std::shared_ptr<const termios> before = closedLinePort_ == port ? closedLine_ : nullptr;
  const ComHandle handle = Open(owner, port, showError);
  if (handle != INVALID_COM_HANDLE && handle != NULL_COM_HANDLE && open_ && port_ == port)
    device_.KeepOriginalLine(std::move(before));
  return handle;
}

bool TComPort::TakeOver(TComPort& from, QObject* owner) {
  if (&from == this || !from.open_) return false;
  Close();
  // Both threads of `from` end before its line changes hands.
  from.readThread_->Terminate();
  from.readThread_->WaitFor();
  from.writeThread_->Terminate();
  from.writeThread_->WaitFor();
  device_.TakeFrom(from.device_);
  from.readThread_.reset();
  from.writeThread_.reset();

  V24ParameterTag* record = v24_.GetParameter(false, "");
  record->Schnittstelle = static_cast<ComTag>(from.port_);
  open_ = true;
  port_ = from.port_;
  owner_ = owner;
  handshake_ = from.handshake_;
  nullDiscard_ = from.nullDiscard_;
  rxTimeOut_ = from.rxTimeOut_;
  lineCheck_ = from.lineCheck_;
  lostDevice_.clear();
  handle_ = nextHandle_++;
  if (nextHandle_ == INVALID_COM_HANDLE) nextHandle_ = 1;
  from.open_ = false;
  from.port_ = -1;
  from.handle_ = INVALID_COM_HANDLE;
  from.nullDiscard_ = false;

  writeThread_ =
      std::make_unique<TV24Write_Thread>(false, device_, record->TXTimeOut);
  readThread_ = std::make_unique<TV24Read_Thread>(true, port_, device_, owner);
  writeThread_->WaitUntilIdle(std::chrono::milliseconds(2000));
  // Input that is already queued is announced to the new owner at once.
  readThread_->Resume();
  return true;
}

void TComPort::Close() {
  if (!open_) return;
  if (draining_) {
    // Asked from inside the drain's wait (the window closing): the helper
    // still uses the device, so the port closes when it is done.
    closeAfterDrain_ = true;
    return;
  }
  if (device_.HungUp() && lostDevice_.empty()) lostDevice_ = DevicePath(port_);
  readThread_->Terminate();
  readThread_->WaitFor();
  writeThread_->Terminate();
  writeThread_->WaitFor();
  closedLine_ = device_.HungUp() ? nullptr : device_.OriginalLine();
  closedLinePort_ = port_;
  Draining([this] { device_.Close(); });
  readThread_.reset();
  writeThread_.reset();
  open_ = false;
  port_ = -1;
  handle_ = INVALID_COM_HANDLE;
  nullDiscard_ = false;
}

int TComPort::Read(char* buffer, unsigned long length) {
  if (!open_) return COM_NOT_OPEN;
  if (buffer == nullptr) return 0;
  const size_t n = length > static_cast<unsigned long>(INT_MAX) ? INT_MAX : length;
  const long total = static_cast<long>(n) + rxTimeOut_;
  const int got = n ? device_.Read(buffer, n, total, kReadIntervalMs, nullDiscard_) : 0;
  if (got == SerialDevice::kHungUp) {
    buffer[0] = '\0';
    CloseAfterHangup();
    return COM_NOT_OPEN;
  }
  buffer[got] = '\0';
  // Cleared after reading: bytes still unread then announce themselves
  // again, while bytes this read took raise no stale notification.
  readThread_->SetAktiv(false);
  return got;
}

int TComPort::ReadAvailable(char* buffer, unsigned long length) {
  if (!open_) return COM_NOT_OPEN;
  if (buffer == nullptr) return 0;
  const size_t n = length > static_cast<unsigned long>(INT_MAX) ? INT_MAX : length;
  const int got = n ? device_.Read(buffer, n, 0, 0, nullDiscard_) : 0;
  if (got == SerialDevice::kHungUp) {
    buffer[0] = '\0';
    CloseAfterHangup();
    return COM_NOT_OPEN;
  }
  buffer[got] = '\0';
  readThread_->SetAktiv(false);
  return got;
}

int TComPort::Write(const char* data, int length, bool background) {
  if (!open_) return COM_NOT_OPEN;
  if (device_.HungUp()) {
    CloseAfterHangup();
    return COM_NOT_OPEN;
  }
  if (length == -1) length = data ? static_cast<int>(std::strlen(data)) : 0;
  if (length < 0) return COM_BLOCK_TOO_LONG;  // a negative length is no block
  if (data == nullptr) length = 0;
  const bool framed = handshake_ == KVX_XonXoff && length > 0;
  const long blockLength = static_cast<long>(length) + (framed ? 2 : 0);
  if (blockLength > kComMaxBlock) return COM_BLOCK_TOO_LONG;

  int result;
  if (!framed) {
    result = writeThread_->Submit(data, length, background);
  } else {
    staging_[0] = kXoff;
    std::memcpy(staging_ + 1, data, static_cast<size_t>(length));
    staging_[length + 1] = kXon;
    result = writeThread_->Submit(staging_, static_cast<int>(blockLength), background);
  }
  if (device_.HungUp()) {
    CloseAfterHangup();
    return COM_NOT_OPEN;
  }
  return result;
}

void TComPort::Draining(const std::function<void()>& work) {
  // Nothing queued: the drain returns at once, no need to go aside. The
  // receive and transmit threads do not touch what work changes.
  if (!hold_ || draining_ || device_.OutputQueued() <= 0) {
    work();
    return;
  }
  draining_ = true;
  hold_->Aside(work);
  draining_ = false;
  if (closeAfterDrain_) {
    closeAfterDrain_ = false;
    Close();
  }
}

void TComPort::CloseAfterHangup() {
  const unsigned comNumber = static_cast<unsigned>(port_) + 1;
  QObject* owner = owner_;
  // The receive thread may be noticing the hang-up this very moment; the
  // claim decides which of the two tells the owner.
  const bool ours = readThread_->ClaimHangupReport();
  Close();
  if (ours && owner) PostComMessage(owner, WM_COM_DISCONNECT, comNumber);
}

std::string TComPort::TakeLostDevice() {
  if (open_ && device_.HungUp()) Close();
  std::string lost;
  lost.swap(lostDevice_);
  return lost;
}

void TComPort::GetWriteStatus() {
  if (open_) writeThread_->ClearLatch();
}

int TComPort::LastBlockWritten() const { return open_ ? writeThread_->BytesWritten() : 0; }

bool TComPort::WaitWriteIdle(int timeoutMs) {
  return open_ && writeThread_->WaitUntilIdle(std::chrono::milliseconds(timeoutMs));
}

void TComPort::CutWrite() {
  if (!open_) return;
  device_.SetWriteCut(true);
  // The transmitter sees the cut within one poll; the bound is only there
  // so that nothing here can hang.
  writeThread_->WaitUntilIdle(std::chrono::milliseconds(1000));
  device_.SetWriteCut(false);
}

void TComPort::Reset_SetAktiv() {
  if (open_) readThread_->SetAktiv(false);
}

void TComPort::ChangeV24Parameter(BaudTag baud, StopBitTag stop, ParitaetTag parity,
                                  bool nullDiscard) {
  if (!open_) return;
  LineSettings line;
  line.baud = BaudRateOf(baud);
  line.stopBits = StopBitsOf(stop);
  line.parity = ParityOf(parity);
  Draining([&] { lineCheck_ = device_.Modify(line); });
  nullDiscard_ = nullDiscard;
}

void TComPort::ChangeBaudrate(BaudTag baud) {
  if (!open_) return;
  LineSettings line;
  line.baud = BaudRateOf(baud);
  Draining([&] { lineCheck_ = device_.Modify(line); });
}

void TComPort::PurgeInput() {
  if (open_) device_.PurgeInput();
}

void TComPort::ChangeHandShake(HandshakeTag handshake) {
  if (!open_) return;
  handshake_ = handshake;
  LineSettings line;
  line.flow = FlowOf(handshake);
  Draining([&] { lineCheck_ = device_.Modify(line); });
}

BaudTag TComPort::LineBaudrate() const {
  if (!open_) return v24_.Baudrate();
  const int baud = device_.Baud();
  for (int tag = 0; tag < kBaudCount; ++tag)
    if (BaudRateOf(static_cast<BaudTag>(tag)) == baud) return static_cast<BaudTag>(tag);
  return v24_.Baudrate();
}

void TComPort::SaveLastV24Parameter() {
  if (!open_) return;
  LineSnapshot line = device_.Save();
  if (!line.Valid()) return;
  saved_.line = std::move(line);
  saved_.nullDiscard = nullDiscard_;
  saved_.handshake = handshake_;
  savedValid_ = true;
}

void TComPort::LoadLastV24Parameter() {
  if (!open_ || !savedValid_) return;
  device_.Restore(saved_.line);
  nullDiscard_ = saved_.nullDiscard;
  handshake_ = saved_.handshake;
}

void TComPort::Check_AllV24() {
  std::memset(devices_, 0, sizeof devices_);
  std::memset(useable_, 0, sizeof useable_);
  deviceCount_ = 0;
  useableCount_ = 0;
  // One snapshot per search: the sysfs walk or UPDATE_PORTS is read here
  // only, and the same table goes to the external programs.
  table_ = LoadPortTable();
  if (table_.size() > static_cast<size_t>(kMaxPorts)) table_.resize(kMaxPorts);
  skipErrors_.assign(table_.size(), 0);
  for (size_t i = 0; i < table_.size(); ++i) {
    if (table_[i].empty()) continue;
    // The port this component holds is present but not free.
    const bool ours = open_ && port_ == static_cast<int>(i);
    const PortProbe probe =
        ours ? PortProbe{PortOpenStatus::InUse, 0} : SerialDevice::Probe(table_[i]);
    if (probe.status == PortOpenStatus::Missing) continue;
    devices_[deviceCount_++] = static_cast<uint8_t>(i);
    if (probe.status == PortOpenStatus::Ok)
      useable_[useableCount_++] = static_cast<uint8_t>(i);
    else
      skipErrors_[i] = probe.error;
  }
}

PortFailure TComPort::SkipReason(int index) const {
  PortFailure failure;
  if (index < 0 || static_cast<size_t>(index) >= skipErrors_.size()) return failure;
  failure.path = table_[index];
  failure.error = skipErrors_[index];
  if (failure.error == EBUSY || failure.error == EWOULDBLOCK)
    failure.holder = PortHolderName(failure.path);
  return failure;
}

uint8_t TComPort::Get_DeviceV24(int position) const {
  return position >= 0 && position < 257 ? devices_[position] : 0;
}

uint8_t TComPort::Get_UseableV24(int position) const {
  return position >= 0 && position < 257 ? useable_[position] : 0;
}

std::string TComPort::DevicePath(int index) const {
  return index >= 0 && static_cast<size_t>(index) < table_.size() ? table_[index] : std::string();
}

void TComPort::OpenDialog(QWidget* owner, bool lineInUse, const DialogPrepare& prepare) {
  // While a run owns the line, even the port check stays off it: the
  // snapshot in force is what the dialog lists.
  if (!lineInUse) Check_AllV24();
  TV24_Dialog dialog(owner, language_, devices_, deviceCount_, table_);
  const V24ParameterTag stored = *v24_.GetParameter(streamOn_, datei_);
  // The dialog shows the line in force: its port and the speed the search
  // or a loader set, which the record does not hold.
  V24ParameterTag shown = stored;
  if (open_) {
    shown.Schnittstelle = static_cast<ComTag>(port_);
    shown.Baudrate = LineBaudrate();
  }
  V24ParameterTag edited = shown;
  if (prepare) prepare(dialog);
  if (dialog.RunDialog(v24Dialog_.Flags(), &edited) != QDialog::Accepted) return;

  // Only what the user changed goes into the record: pressing OK on what
  // was shown must not turn the line in force into the stored settings.
  V24ParameterTag result = stored;
  bool changed = false;
  auto take = [&changed](auto& field, auto was, auto now) {
    if (now != was) {
      field = now;
      changed = true;
    }
  };
  take(result.DatenBits, shown.DatenBits, edited.DatenBits);
  take(result.Paritaet, shown.Paritaet, edited.Paritaet);
  take(result.StopBits, shown.StopBits, edited.StopBits);
  take(result.Baudrate, shown.Baudrate, edited.Baudrate);
  take(result.Handshake, shown.Handshake, edited.Handshake);
  take(result.RXTimeOut, shown.RXTimeOut, edited.RXTimeOut);
  take(result.TXTimeOut, shown.TXTimeOut, edited.TXTimeOut);
  take(result.Schnittstelle, shown.Schnittstelle, edited.Schnittstelle);
  if (!changed) return;
  v24_.SetParameter(&result);
  // A run's line is left alone: the change takes effect at the next open.
  if (!open_ || lineInUse) return;
  QObject* window = owner_;
  Close();
  Open(window, result.Schnittstelle, true);
}
