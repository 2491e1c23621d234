#include "serial/V24Dialog.h"

#include <QLineEdit>
#include <cerrno>
#include <cstdlib>
#include <string>

#include "platform/Dialogs.h"
#include "ui_V24_Dialog.h"

namespace {

// Paritaet_Box shows three of the five parities, in this order.
constexpr ParitaetTag kParityOfEntry[] = {NoParity, Even, Odd};
// Baudrate_Box stops at 38400: B_57600 and B115200 have no entry.
constexpr int kBaudEntries = 6;

int EntryOfParity(ParitaetTag parity) {
  for (int i = 0; i < 3; ++i)
    if (kParityOfEntry[i] == parity) return i;
  return -1;
}

// The entry at `value` when the list has one, else none.
void Select(QComboBox* box, int value) {
  box->setCurrentIndex(value >= 0 && value < box->count() ? value : -1);
}

// A decimal integer that fits the field, or nothing.
bool ParseTimeOut(const QString& text, int32_t& value) {
  const std::string s = text.trimmed().toStdString();
  if (s.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(s.c_str(), &end, 10);
  if (*end != '\0' || errno == ERANGE || v < INT32_MIN || v > INT32_MAX) return false;
  value = static_cast<int32_t>(v);
  return true;
}

}  // namespace

TV24_Dialog::TV24_Dialog(QWidget* owner, int language, const uint8_t* ports, int portCount,
                         std::vector<std::string> paths)
    : QDialog(owner),
      ui_(std::make_unique<Ui::V24_Dialog>()),
      language_(language),
      paths_(std::move(paths)) {
  ui_->setupUi(this);
  setFixedSize(383, 417);
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  ui_->RX_Timeout_Box->lineEdit()->setMaxLength(4);
  if (ports != nullptr && portCount > 0) ports_.assign(ports, ports + portCount);
  if (language != 0) {
    setWindowTitle("Settings");
    ui_->Label_Datenbit->setText("Data Bits");
    ui_->Label_Paritaet->setText("Parity");
    ui_->Label_StopBits->setText("Stop Bits");
    ui_->Label_Baudrate->setText("Baud Rate");
    ui_->Label_Handshake->setText("Flow Control");
    ui_->Label_RXTimeout->setText("RX Timeout/ms");
    ui_->Label_TXTimeout->setText("TX Timeout/ms");
    ui_->Label_Schnittstelle->setText("Com Port");
    ui_->V24_Adjust_cancel->setText("Cancel");
    ui_->V24_Adjust_close->setText("Close");
    ui_->V24AdjustPanel1->setTitle("Line parameters");
  }
  ui_->V24_Adjust_close->hide();
  connect(ui_->V24_Adjust_okay, &QPushButton::clicked, this, [this] { V24_Adjust_okayClick(); });
  connect(ui_->V24_Adjust_cancel, &QPushButton::clicked, this,
          [this] { V24_Adjust_cancelClick(); });
  connect(ui_->V24_Adjust_close, &QPushButton::clicked, this, [this] { V24_Adjust_cancelClick(); });
}

TV24_Dialog::~TV24_Dialog() = default;

void TV24_Dialog::Prepare(const std::array<bool, 8>& flags, V24ParameterTag* record) {
  record_ = record;
  // Flags in TDlgParameter order: DatenBits, Schnittstelle, Paritaet,
  // StopBits, Baudrate, Handshake, RXTimeOut, TXTimeOut.
  ui_->Datenbit_Box->setEnabled(flags[0]);
  ui_->Schnittstellen_Box->setEnabled(flags[1]);
  ui_->Paritaet_Box->setEnabled(flags[2]);
  ui_->StopBit_Box->setEnabled(flags[3]);
  ui_->Baudrate_Box->setEnabled(flags[4]);
  ui_->Handshake_Box->setEnabled(flags[5]);
  ui_->RX_Timeout_Box->setEnabled(flags[6]);
  ui_->TX_Timeout_Box->setEnabled(flags[7]);
  // OK and Cancel would promise a change that cannot be made.
  editable_ = false;
  for (bool f : flags) editable_ = editable_ || f;
  ui_->V24_Adjust_okay->setVisible(editable_);
  ui_->V24_Adjust_cancel->setVisible(editable_);
  ui_->V24_Adjust_close->setVisible(!editable_);
  ui_->V24_Adjust_close->setDefault(!editable_);
  ui_->V24_Adjust_okay->setDefault(editable_);
  if (record == nullptr) return;

  Select(ui_->Datenbit_Box, record->DatenBits);
  Select(ui_->Paritaet_Box, EntryOfParity(record->Paritaet));
  Select(ui_->StopBit_Box, record->StopBits);
  Select(ui_->Baudrate_Box, record->Baudrate < kBaudEntries ? record->Baudrate : -1);
  Select(ui_->Handshake_Box, record->Handshake);
  ui_->RX_Timeout_Box->setEditText(QString::number(record->RXTimeOut));
  ui_->TX_Timeout_Box->setEditText(QString::number(record->TXTimeOut));

  ui_->Schnittstellen_Box->clear();
  int selected = -1;
  for (size_t i = 0; i < ports_.size(); ++i) {
    QString entry = QString("COM%1").arg(ports_[i] + 1);
    if (ports_[i] < paths_.size() && !paths_[ports_[i]].empty())
      entry += "  " + QString::fromLocal8Bit(paths_[ports_[i]].c_str());
    ui_->Schnittstellen_Box->addItem(entry);
    if (ports_[i] == record->Schnittstelle && selected < 0) selected = static_cast<int>(i);
  }
  ui_->Schnittstellen_Box->setCurrentIndex(selected);
}

int TV24_Dialog::RunDialog(const std::array<bool, 8>& flags, V24ParameterTag* record) {
  Prepare(flags, record);
  return exec();
}

void TV24_Dialog::V24_Adjust_okayClick() {
  if (record_ == nullptr) {
    done(QDialog::Rejected);
    return;
  }
  int32_t rx = 0, tx = 0;
  for (QComboBox* box : {ui_->RX_Timeout_Box, ui_->TX_Timeout_Box}) {
    int32_t& value = box == ui_->RX_Timeout_Box ? rx : tx;
    if (!ParseTimeOut(box->currentText(), value)) {
      const std::string text =
          "'" + box->currentText().toStdString() + "'" +
          (language_ == 0 ? " ist kein g\xFCltiger Integerwert" : " is not a valid integer value");
      ShowMessageBox(language_ == 0 ? "Fehler" : "Error", text, MsgIcon::Error);
      return;  // the dialog stays open, the record unchanged
    }
  }
  // A list without a selection keeps the record's value for its field.
  V24ParameterTag& r = *record_;
  if (int i = ui_->Datenbit_Box->currentIndex(); i >= 0 && i < kDatBitCount)
    r.DatenBits = static_cast<DatBitTag>(i);
  if (int i = ui_->Paritaet_Box->currentIndex(); i >= 0 && i < 3) r.Paritaet = kParityOfEntry[i];
  if (int i = ui_->StopBit_Box->currentIndex(); i >= 0 && i < kStopBitCount)
    r.StopBits = static_cast<StopBitTag>(i);
  if (int i = ui_->Baudrate_Box->currentIndex(); i >= 0 && i < kBaudEntries)
    r.Baudrate = static_cast<BaudTag>(i);
  if (int i = ui_->Handshake_Box->currentIndex(); i >= 0 && i < kHandshakeCount)
    r.Handshake = static_cast<HandshakeTag>(i);
  r.RXTimeOut = rx;
  r.TXTimeOut = tx;
  if (int i = ui_->Schnittstellen_Box->currentIndex();
      i >= 0 && static_cast<size_t>(i) < ports_.size())
    r.Schnittstelle = static_cast<ComTag>(ports_[i]);
  done(QDialog::Accepted);
}

void TV24_Dialog::V24_Adjust_cancelClick() { done(QDialog::Rejected); }
