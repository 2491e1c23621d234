#include "app/FirstStart.h"

#include <unistd.h>

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/FileLookup.h"
#include "platform/ProgramDir.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kSettingsFiles[] = {"Update.ini", "ProgDevice.ini"};
constexpr const char* kLanguageFiles[] = {"Update.Deu", "Update.Eng", "own.lng"};
constexpr const char* kInstalledExamples = "/usr/share/update/examples";

bool HoldsDelivery(const std::string& folder) {
  std::error_code ec;
  return !folder.empty() && fs::is_regular_file(fs::path(folder) / "Update.ini", ec);
}

bool Enter(const std::string& folder) { return ::chdir(folder.c_str()) == 0; }

QString Q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

std::string MissingSettingsPath() {
  for (const char* name : kSettingsFiles) {
    std::error_code ec;
    if (!fs::exists(name, ec)) return WorkingFolder() + "/" + name;
  }
  return {};
}

std::string MissingSettingsLine(const std::string& path) {
  return "update: Datei fehlt / file missing: " + path;
}

std::string ExamplesFolder() {
  std::error_code ec;
  for (const std::string& folder : {DataFolder() + "/examples", std::string(kInstalledExamples)})
    if (fs::is_regular_file(fs::path(folder) / "Update.ini", ec)) return folder;
  return {};
}

bool CreateDeliveryFromExamples(const std::string& examples, const std::string& folder,
                                std::string& error) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec) {
    error = folder + ": " + ec.message();
    return false;
  }
  for (fs::directory_iterator it(examples, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code fileEc;
    if (!it->is_regular_file(fileEc)) continue;
    const fs::path target = fs::path(folder) / it->path().filename();
    if (fs::exists(target, fileEc)) continue;
    fs::copy_file(it->path(), target, fileEc);
    if (fileEc) {
      error = target.string() + ": " + fileEc.message();
      return false;
    }
    // Installed files are read-only; the delivery's copies are edited.
    fs::permissions(target, fs::perms::owner_write, fs::perm_options::add, fileEc);
  }
  if (ec) {
    error = examples + ": " + ec.message();
    return false;
  }
  // The language files are installed beside the examples and read from
  // the working folder, so the delivery gets its own copies.
  for (const char* name : kLanguageFiles) {
    std::error_code fileEc;
    const fs::path source = fs::path(examples).parent_path() / name;
    const fs::path target = fs::path(folder) / name;
    if (!fs::is_regular_file(source, fileEc) || fs::exists(target, fileEc)) continue;
    fs::copy_file(source, target, fileEc);
    fs::permissions(target, fs::perms::owner_write, fs::perm_options::add, fileEc);
  }
  return true;
}

std::string RememberedDelivery() {
  QSettings settings("update", "update");
  return settings.value("delivery").toString().toStdString();
}

void RememberDelivery(const std::string& folder) {
  QSettings settings("update", "update");
  settings.setValue("delivery", Q(folder));
  settings.sync();
}

bool PrepareWindowDelivery(bool deliveryGiven) {
  if (HoldsDelivery(".")) return true;
  if (!deliveryGiven) {
    const std::string remembered = RememberedDelivery();
    if (HoldsDelivery(remembered) && Enter(remembered)) return true;
  }
  const std::string looked = WorkingFolder();
  for (;;) {
    QMessageBox box(QMessageBox::Warning, "Update",
                    Q("Im Ordner " + looked +
                      " ist keine Lieferung (Update.ini fehlt).\n"
                      "W\u00e4hlen Sie den Ordner einer Lieferung oder legen Sie eine neue "
                      "aus den Beispielen an.\n\n"
                      "The folder " +
                      looked +
                      " holds no delivery (Update.ini is missing).\n"
                      "Choose a delivery folder or create a new delivery from the examples."));
    QPushButton* choose =
        box.addButton("Lieferung w\u00e4hlen / Choose delivery...", QMessageBox::AcceptRole);
    QPushButton* create =
        box.addButton("Neu aus Beispielen / New from examples...", QMessageBox::ActionRole);
    QPushButton* quit = box.addButton("Beenden / Quit", QMessageBox::RejectRole);
    box.setDefaultButton(choose);
    box.exec();
    if (box.clickedButton() == quit || box.clickedButton() == nullptr) return false;

    std::string folder;
    if (box.clickedButton() == choose) {
      folder = QFileDialog::getExistingDirectory(nullptr, "Lieferung w\u00e4hlen / Choose delivery",
                                                 QDir::homePath())
                   .toStdString();
      if (folder.empty()) continue;
      if (!HoldsDelivery(folder)) {
        QMessageBox::warning(nullptr, "Update", Q("Update.ini fehlt in / is missing in " + folder));
        continue;
      }
    } else if (box.clickedButton() == create) {
      const std::string examples = ExamplesFolder();
      if (examples.empty()) {
        QMessageBox::warning(nullptr, "Update",
                             "Keine Beispiele installiert / No examples installed "
                             "(/usr/share/update/examples)");
        continue;
      }
      folder = QFileDialog::getExistingDirectory(
                   nullptr, "Ordner f\u00fcr die neue Lieferung / Folder for the new delivery",
                   QDir::homePath())
                   .toStdString();
      if (folder.empty()) continue;
      std::string error;
      if (!CreateDeliveryFromExamples(examples, folder, error)) {
        QMessageBox::warning(nullptr, "Update", Q(error));
        continue;
      }
      QMessageBox::information(
          nullptr, "Update",
          Q("Neue Lieferung in " + folder +
            ". Legen Sie die Firmware-Dateien dazu, tragen Sie die Werte des Lieferanten in "
            "BSL430.ini ein und passen Sie ProgDevice.ini an.\n\nNew delivery in " +
            folder +
            ". Put the firmware files beside the settings, enter the supplier's values in "
            "BSL430.ini and adapt ProgDevice.ini."));
    }
    if (!Enter(folder)) {
      QMessageBox::warning(nullptr, "Update", Q(folder + ": " + std::strerror(errno)));
      continue;
    }
    RememberDelivery(WorkingFolder());
    return true;
  }
}
