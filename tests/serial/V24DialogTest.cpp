// The serial settings dialog, offscreen: what it shows, what OK stores and
// what it refuses.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <memory>

#include "platform/Dialogs.h"
#include "serial/ComPort.h"
#include "serial/V24Dialog.h"
#include "tests/serial/SerialTestSupport.h"
#include "tests/support/Pty.h"

namespace {

constexpr std::array<bool, 8> kAllOff{};
constexpr std::array<bool, 8> kAllOn{true, true, true, true, true, true, true, true};
const uint8_t kPorts[] = {0, 2, 5};

V24ParameterTag Record() {
  V24ParameterTag r{};
  r.DatenBits = D_8;
  r.Paritaet = NoParity;
  r.StopBits = S_2;
  r.Baudrate = B__4800;
  r.Handshake = RTS_CTS;
  r.RXTimeOut = 0;
  r.TXTimeOut = 10000;
  r.Schnittstelle = Com__3;
  r.KeinNullZeichen = true;
  return r;
}

// Controls are found by the names the form gives them.
QComboBox* Box(const QWidget& dialog, const char* name) {
  return dialog.findChild<QComboBox*>(name);
}
QPushButton* Button(const QWidget& dialog, const char* name) {
  return dialog.findChild<QPushButton*>(name);
}
QLabel* Label(const QWidget& dialog, const char* name) { return dialog.findChild<QLabel*>(name); }

bool SameRecord(const V24ParameterTag& a, const V24ParameterTag& b) {
  return EncodeV24Image(a) == EncodeV24Image(b);
}

class CountingSink : public DialogSink {
 public:
  int shown = 0;
  std::string text;
  MsgResult Show(const std::string&, const std::string& t, MsgIcon, MsgButtons) override {
    ++shown;
    text = t;
    return MsgResult::Ok;
  }
};

}  // namespace

TEST(V24Dialog, AllFlagsOffShowsTheValuesGreyedAndOkKeepsThem) {
  TV24_Dialog dialog(nullptr, 0, kPorts, 3);
  V24ParameterTag record = Record();
  const V24ParameterTag before = record;
  dialog.Prepare(kAllOff, &record);
  for (const char* name :
       {"Datenbit_Box", "Paritaet_Box", "StopBit_Box", "Baudrate_Box", "Handshake_Box",
        "RX_Timeout_Box", "TX_Timeout_Box", "Schnittstellen_Box"}) {
    ASSERT_NE(Box(dialog, name), nullptr) << name;
    EXPECT_FALSE(Box(dialog, name)->isEnabled()) << name;
  }
  EXPECT_EQ(Box(dialog, "Datenbit_Box")->currentText(), "8");
  EXPECT_EQ(Box(dialog, "Paritaet_Box")->currentText(), "keine");
  EXPECT_EQ(Box(dialog, "StopBit_Box")->currentText(), "2");
  EXPECT_EQ(Box(dialog, "Baudrate_Box")->currentText(), "4800");
  EXPECT_EQ(Box(dialog, "Handshake_Box")->currentText(), "RTS/CTS");
  EXPECT_EQ(Box(dialog, "TX_Timeout_Box")->currentText(), "10000");
  ASSERT_EQ(Box(dialog, "Schnittstellen_Box")->count(), 3);
  EXPECT_EQ(Box(dialog, "Schnittstellen_Box")->itemText(2), "COM6");
  EXPECT_EQ(Box(dialog, "Schnittstellen_Box")->currentText(), "COM3");
  EXPECT_EQ(dialog.windowTitle(), "Einstellungen");
  EXPECT_EQ(dialog.size(), QSize(383, 417));

  QTimer::singleShot(0, &dialog, [&] { Button(dialog, "V24_Adjust_okay")->click(); });
  EXPECT_EQ(dialog.RunDialog(kAllOff, &record), QDialog::Accepted);
  EXPECT_TRUE(SameRecord(record, before));
}

TEST(V24Dialog, EntriesMapToTheirEnumeratorsAndCancelChangesNothing) {
  TV24_Dialog dialog(nullptr, 0, kPorts, 3);
  V24ParameterTag record = Record();
  dialog.Prepare(kAllOn, &record);
  Box(dialog, "Paritaet_Box")->setCurrentText("gerade");
  Box(dialog, "Baudrate_Box")->setCurrentText("38400");
  Box(dialog, "Handshake_Box")->setCurrentText("KVX X_On/X_Off");
  Box(dialog, "Datenbit_Box")->setCurrentText("7");
  Box(dialog, "StopBit_Box")->setCurrentText("1.5");
  Box(dialog, "RX_Timeout_Box")->setEditText("100");
  Box(dialog, "Schnittstellen_Box")->setCurrentIndex(2);
  const V24ParameterTag before = record;
  dialog.V24_Adjust_cancelClick();
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
  EXPECT_TRUE(SameRecord(record, before));

  dialog.V24_Adjust_okayClick();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(record.Paritaet, Even);
  EXPECT_EQ(record.Baudrate, B_38400);
  EXPECT_EQ(record.Handshake, KVX_XonXoff);
  EXPECT_EQ(record.DatenBits, D_7);
  EXPECT_EQ(record.StopBits, S1_5);
  EXPECT_EQ(record.RXTimeOut, 100);
  EXPECT_EQ(record.Schnittstelle, Com__6);

  Box(dialog, "Paritaet_Box")->setCurrentText("ungerade");
  dialog.V24_Adjust_okayClick();
  EXPECT_EQ(record.Paritaet, Odd);
}

TEST(V24Dialog, ValuesWithoutAnEntryShowNothingAndKeepTheRecord) {
  TV24_Dialog dialog(nullptr, 0, kPorts, 3);
  V24ParameterTag record = Record();
  record.Baudrate = B115200;
  record.Paritaet = Mark;
  record.Schnittstelle = Com__2;  // not in the port list
  dialog.Prepare(kAllOn, &record);
  EXPECT_EQ(Box(dialog, "Baudrate_Box")->currentIndex(), -1);
  EXPECT_EQ(Box(dialog, "Paritaet_Box")->currentIndex(), -1);
  EXPECT_EQ(Box(dialog, "Schnittstellen_Box")->currentIndex(), -1);
  dialog.V24_Adjust_okayClick();
  EXPECT_EQ(record.Baudrate, B115200);
  EXPECT_EQ(record.Paritaet, Mark);
  EXPECT_EQ(record.Schnittstelle, Com__2);

  TV24_Dialog empty(nullptr, 0, nullptr, 0);
  empty.Prepare(kAllOn, &record);
  empty.V24_Adjust_okayClick();
  EXPECT_EQ(record.Schnittstelle, Com__2);
}

TEST(V24Dialog, TimeOutThatIsNoNumberKeepsTheDialogOpen) {
  CountingSink sink;
  DialogSink* previous = SetDialogSink(&sink);
  TV24_Dialog dialog(nullptr, 1, kPorts, 3);
  V24ParameterTag record = Record();
  const V24ParameterTag before = record;
  dialog.Prepare(kAllOn, &record);
  Box(dialog, "TX_Timeout_Box")->setEditText("12a");
  Box(dialog, "Baudrate_Box")->setCurrentText("9600");
  dialog.setResult(-1);
  dialog.V24_Adjust_okayClick();
  SetDialogSink(previous);
  EXPECT_EQ(sink.shown, 1);
  EXPECT_EQ(sink.text, "'12a' is not a valid integer value");
  EXPECT_EQ(dialog.result(), -1);  // not closed
  EXPECT_TRUE(SameRecord(record, before));
}

TEST(V24Dialog, EnglishChangesTitleLabelsAndCancelOnly) {
  TV24_Dialog dialog(nullptr, 1, kPorts, 3);
  EXPECT_EQ(dialog.windowTitle(), "Settings");
  EXPECT_EQ(Button(dialog, "V24_Adjust_cancel")->text(), "Cancel");
  EXPECT_EQ(Button(dialog, "V24_Adjust_okay")->text(), "OK");
  EXPECT_EQ(Label(dialog, "Label_Handshake")->text(), "Flow Control");
  EXPECT_EQ(Label(dialog, "Label_Schnittstelle")->text(), "Com Port");
  EXPECT_EQ(Box(dialog, "Handshake_Box")->itemText(0), "kein Handshake");
  EXPECT_EQ(Box(dialog, "Paritaet_Box")->itemText(1), "gerade");
  EXPECT_EQ(Box(dialog, "RX_Timeout_Box")->lineEdit()->maxLength(), 4);
}

// Once the dialog runs, picks the port and presses OK.
static void ChoosePortWhenShown(const char* port) {
  QTimer::singleShot(0, [port] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* d = qobject_cast<TV24_Dialog*>(w)) {
        // Entries read "COM2  /dev/pts/7": the COM number, then the device.
        QComboBox* box = Box(*d, "Schnittstellen_Box");
        box->setCurrentIndex(box->findText(QString(port) + " ", Qt::MatchStartsWith));
        d->V24_Adjust_okayClick();
      }
  });
}

// OK while the port is open reopens it on the chosen port; while closed it
// only stores the record.
TEST(V24Dialog, OkReopensAnOpenPortOnTheChosenPort) {
  Pty com1, com2;
  ScopedPortTable table(com1.SlavePath() + ":" + com2.SlavePath());
  MessageRecorder owner;
  TComPort port;
  TDlgParameter flags;
  flags.Schnittstelle = true;
  port.SetV24Dlg(&flags);
  ASSERT_NE(port.Open(&owner, 0, false), INVALID_COM_HANDLE);
  ChoosePortWhenShown("COM2");
  port.OpenDialog(nullptr);
  EXPECT_EQ(port.OpenPort(), 1);
  EXPECT_EQ(port.GetV24Parameter()->Schnittstelle, Com__2);
  EXPECT_EQ(port.Write("x", -1, false), 1);
  EXPECT_EQ(com2.Receive(1), "x");

  port.Close();
  ChoosePortWhenShown("COM1");
  port.OpenDialog(nullptr);
  EXPECT_FALSE(port.IsOpen());
  EXPECT_EQ(port.GetV24Parameter()->Schnittstelle, Com__1);
}
