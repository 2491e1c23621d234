#pragma once
// TV24_Dialog, the serial ("V24") settings dialog: shows the line parameters of a record and
// lets the user change those the flags allow; the others are greyed.
// Labels and title follow the message language; list entries are German
// in both languages (an application may translate all of it afterwards).
// A dialog in which nothing may be changed offers only Close.
#include <QDialog>
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "serial/V24Parameter.h"

namespace Ui {
class V24_Dialog;
}

class TV24_Dialog : public QDialog {
  Q_OBJECT

 public:
  // ports: port indices (0 = COM1) offered in Schnittstellen_Box; paths:
  // the device of each port index, shown beside its COM number when known.
  TV24_Dialog(QWidget* owner, int language, const uint8_t* ports, int portCount,
              std::vector<std::string> paths = {});
  ~TV24_Dialog() override;

  // Sets the controls up from the record (flags in TDlgParameter order)
  // and shows the dialog modally. QDialog::Accepted after OK (the record
  // then holds the controls' values), QDialog::Rejected after Cancel.
  int RunDialog(const std::array<bool, 8>& flags, V24ParameterTag* record);
  // The first half of RunDialog, without showing the dialog.
  void Prepare(const std::array<bool, 8>& flags, V24ParameterTag* record);
  // False when no flag allows a change: the dialog then only shows.
  bool Editable() const { return editable_; }

  void V24_Adjust_okayClick();
  void V24_Adjust_cancelClick();

 private:
  std::unique_ptr<Ui::V24_Dialog> ui_;
  int language_;
  std::vector<uint8_t> ports_;
  std::vector<std::string> paths_;
  bool editable_ = true;
  V24ParameterTag* record_ = nullptr;
};
