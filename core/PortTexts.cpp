#include "core/PortTexts.h"

#include <cerrno>
#include <cstring>

namespace {

std::string Pick(int language, const char* german, const char* english) {
  return language == 1 ? english : german;
}

// The system's own wording of an errno, with its number.
std::string ErrnoText(int error) {
  return std::string(std::strerror(error)) + ", errno " + std::to_string(error);
}

}  // namespace

std::string PortFailureText(const PortFailure& f, int language) {
  const std::string path = f.path.empty() ? std::string("?") : f.path;
  switch (f.error) {
    case EACCES:
    case EPERM:
      return path +
             Pick(language,
                  ": Zugriff verweigert \x97 f\xFCgen Sie Ihren Benutzer der Gruppe dialout "
                  "hinzu und melden Sie sich neu an",
                  ": permission denied \x97 add your user to the group dialout and log in again");
    case EBUSY:
    case EWOULDBLOCK:
      return path +
             Pick(language, ": wird von einem anderen Programm benutzt",
                  ": in use by another program") +
             (f.holder.empty() ? std::string() : " (" + f.holder + ")");
    case ENOENT:
    case ENODEV:
    case ENXIO:
      return path + Pick(language, ": Ger\xE4t nicht vorhanden", ": no such device") + " (" +
             ErrnoText(f.error) + ")";
    default:
      return path +
             Pick(language,
                  ": kann nicht ge\xF6"
                  "ffnet werden",
                  ": cannot be opened") +
             " (" + ErrnoText(f.error) + ")";
  }
}

std::string PortDisconnectedText(const std::string& path, int language) {
  return path + Pick(language, " wurde getrennt", " was disconnected") + "\r\n";
}

std::string LineFaultText(const std::string& path, LineCheck check, int error, int language) {
  if (check == LineCheck::Refused)
    return path +
           Pick(language, ": der Treiber lehnt die Leitungseinstellungen ab",
                ": the driver refused the line settings") +
           " (" + ErrnoText(error) + ")\r\n";
  return path +
         Pick(language,
              ": der Treiber hat andere Leitungseinstellungen \xFC"
              "bernommen",
              ": the driver applied other line settings than requested") +
         "\r\n";
}

std::string ModemManagerHintText(int language) {
  return Pick(language,
              "ModemManager l\xE4uft und kann Messger\xE4te an USB-Adaptern st\xF6ren: "
              "udev-Regel 60-update-instruments.rules installieren (README, Abschnitt Serial "
              "hardware).\r\n",
              "ModemManager is running and may disturb meters on USB adapters: install the udev "
              "rule 60-update-instruments.rules (README, Serial hardware).\r\n");
}
