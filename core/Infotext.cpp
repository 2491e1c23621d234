#include "core/Infotext.h"

#include <array>

namespace {

struct Entry {
  std::size_t capacity;
  const char* german;
  const char* english;
};

const std::array<Entry, kInfoEntryCount>
    Infotext =
        {
            {
                {80, "Der Download kann bis zu X Minuten dauern!\r\n\r\n",
                 "The download may last up to X minutes !\r\n\r\n"},  // InfoDuration
                {80, "NAME wird programmiert !!\r\n\r\n",
                 "Programming NAME !!\r\n\r\n"},  // InfoProgramming
                {80, "Neue Daten werden gespeichert !!\r\nBitte warten ...\r\n",
                 "Store new data !!\r\nPlease wait ...\r\n"},  // InfoStoring
                {80, "Best\xE4tigen Sie dies danach mit dem Ok-Button!\r\n",
                 "Confirm with the Ok-button!\r\n"},  // InfoConfirmOk
                {
                    300,
                    "--------------------\r\nDownload erfolgreich ausgef\xFChrt !\r\n\r\nTrennen "
                    "Sie das NAME von der Schnittstelle COM X.\r\n\r\nBeenden Sie das "
                    "Windows-Programm unter Datei/Beenden.",
                    "--------------------\r\nDownload successfully completed !\r\n\r\nDisconnect "
                    "the NAME from the COM X port.\r\n\r\nExit the Windows program under "
                    "File/Exit."},  // InfoDownloadOk
                {200,
                 "Der Download ist f\xFCr ein NAME !\r\nSie haben ein falsches Ger\xE4t "
                 "angeschlossen oder verwenden ein falsches Downloadprogramm.",
                 "Download is for an NAME !\r\nWrong device connected or wrong download program "
                 "used."},  // InfoWrongDownload
                {200,
                 "Die Software-VersionX in Ihrem Ger\xE4t ist aktueller als die, die das "
                 "Downloadprogramm anbietet.",
                 "The software versionX in your device is more up to date then the download "
                 "program can provide."},  // InfoDeviceNewer
                {180,
                 "Kein Ger\xE4t gefunden !!\r\nIst das Ger\xE4t auch richtig angeschlossen und "
                 "eingeschalten ?\rAutomatische Suche wiederholen mit Ok",
                 "No device found !!\r\nIs the meter correctly connected an switched on?\rRepeat "
                 "automatic search with Ok"},  // InfoNoDevice
                {80, "Kein NAME gefunden !!\r\nProgramm wird abgebrochen !!",
                 "No NAME found !!\r\nProgram is aborted !!"},  // InfoNoNameAbort
                {40, "Falsches Ger\xE4t angeschlossen !!",
                 "Wrong device connected !!"},  // InfoWrongDevice
                {40, "keine g\xFCltige Software-Version !!",
                 "No valid software version !!"},  // InfoNoValidVersion
                {140,
                 "Die aktuelle Software-VersionX ist schon im Ger\xE4t.\r\nWollen Sie trotzdem den "
                 "Download fortsetzen ?",
                 "The latest software versionX is already in device.\r\nDo you want to continue "
                 "the download nevertheless?"},  // InfoSameVersion
                {12, "Fehler", "Error"},         // InfoCaptionError
                {12, "Info", "Info"},            // InfoCaptionInfo
                {50,
                 "L3_TermL.A37 konnte nicht ge\xF6"
                 "ffnet werden",
                 "Unable to open L3_TermL.A37"},  // InfoL3FileOpen
                {80, "\r\nNAME wird programmiert !!\r\n\r\n",
                 "\r\nProgramming NAME !!\r\n\r\n"},  // InfoL3Programming
                {300,
                 "Programmierung abgebrochen !\r\nTrennen Sie das NAME vom Steckernetzteil und der "
                 "Schnittstelle COM X.\r\nBeenden Sie das Windows-Programm unter Datei/Beenden und "
                 "starten Sie das Programm erneut f\xFCr eine Neuprogrammierung.",
                 "Programming abort !\r\nDisconnect the NAME from power supply unit and COM "
                 "X.\r\nClose the window program with File/Exit and start the program for a new "
                 "download"},  // InfoProgAbort
                {50,
                 "Fehler in der Daten\xFC"
                 "bertragung !!\r\n",
                 "Transmit error !!\r\n"},  // InfoTransferError
                {70, "--------------------\r\nProgramm wird vorbereitet !!",
                 "--------------------\r\nPreparing program !!"},  // InfoPreparing
                {
                    300,
                    "--------------------\r\nProgramm erfolgreich \xFC"
                    "berspielt !\r\n\r\nTrennen Sie das NAME vom Steckernetzteil und der "
                    "Schnittstelle COM X.\r\n\r\nStecken Sie danach das Netzteil wieder an und "
                    "starten Sie das NAME\r\nBeenden Sie das Windows-Programm unter Datei/Beenden.",
                    "--------------------\r\nProgram successfully programmed !\r\n\r\nDisconnect "
                    "the NAME from power supply unit and COM X.\r\n\r\nConnect the NAME with the "
                    "power supply unit and start the NAME\r\nClose the window program with "
                    "File/Exit."},  // InfoProgOk
                {80, "Fehler im Bootloader !!  Programmierung wurde abgebrochen.",
                 "Error in bootloader !!  Programming abort."},  // InfoBootloaderError
                {20, "Update [beendet]", "Update [ready]"},      // InfoTitleDone
                {80,
                 "Bootloader im Zielger\xE4t nicht verf\xFCgbar!!  Programmierung wurde "
                 "abgebrochen.",
                 "bootloader in target not available!!  Programming abort."},  // InfoNoBootloader
                {200,
                 "Die Software f\xFCr die Sensoridentifizierung kann \xFC"
                 "ber die RS232 Schnittstelle nicht aktuallisiert werden! (nur \xFC"
                 "ber USB)\r\nWollen Sie trotzdem den Download f\xFCr die Ger\xE4tesoftware "
                 "fortsetzen ?",
                 "The software for sensor identification cannot be actualized via RS232 Interface! "
                 "(Only via USB)\r\nDo you want to continue the download for the instruments "
                 "software nevertheless?"},        // InfoSensorUsb
                {20, "Ger\xE4t", "device"},        // InfoDefaultName
                {40, "Update.Deu", "Update.Eng"},  // InfoLanguageFile
                {20, "kein Port", "no port"},      // InfoNoPort
                {100, "Programm konnte nicht gestartet werden!\r\nDie Datei fehlt: ",
                 "Unable to start the program!\r\nThe file is missing: "},  // InfoReadmeMissing
                {100, "Programm konnte nicht gestartet werden!\r\nKein Anzeigeprogramm gefunden: ",
                 "Unable to start the program!\r\nNo viewer found: "},  // InfoViewerMissing
                {100,
                 "Das Anzeigeprogramm konnte die Datei nicht \xF6"
                 "ffnen: ",
                 "The viewer could not open the file: "},  // InfoViewerFailed
            }};

}  // namespace

const std::string& InfoText(InfoEntry entry, int language) {
  static const auto texts = [] {
    std::array<std::array<std::string, 2>, kInfoEntryCount> t;
    for (int i = 0; i < kInfoEntryCount; ++i) {
      t[i][0] = Infotext[i].german;
      t[i][1] = Infotext[i].english;
    }
    return t;
  }();
  return texts[entry][language == 1 ? 1 : 0];
}

std::size_t InfoCapacity(InfoEntry entry) { return Infotext[entry].capacity; }
