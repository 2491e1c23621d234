#include "app/VersionCheck.h"

#include <string_view>

#include "app/FileVersion.h"
#include "core/Infotext.h"
#include "core/Placeholders.h"
#include "platform/Dialogs.h"
#include "platform/FileLookup.h"

namespace {

bool Has(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

// The name as given, or a file whose name differs only in case (the
// settings were written for a file system that ignores case).
std::string InFolder(const std::string& folder, std::string_view name) {
  std::string found = FindFileInFolder(folder, name);
  if (!found.empty()) return found;
  return folder.empty() ? std::string(name) : folder + "/" + std::string(name);
}

bool AskYesNo(const std::string& text, int language) {
  return ShowMessageBox(InfoText(InfoCaptionInfo, language), text, MsgIcon::Question,
                        MsgButtons::YesNo) == MsgResult::Yes;
}

bool AskSensorOnlyOverUsb(int language) {
  return AskYesNo(InfoText(InfoSensorUsb, language), language);
}

}  // namespace

VersionTexts ReadVersionTexts(DeviceRecord& record, const std::string& programFolder,
                              int language) {
  VersionTexts out;
  std::string_view key2 = record.SWKenn2.view();
  std::string mainText =
      ReadFileVersion(key2, InFolder(programFolder, record.MainFile), record, language);
  out.statusText = "Version " + mainText;

  if (!record.DownloadList.empty()) {
    std::string highestText(record.MainFileVersion.view());
    int32_t highest = record.MainFileVersionNumber;
    std::size_t i = 0;
    for (;;) {
      // An empty main slot sends each entry's version there.
      record.MainFileVersion.Assign("");
      std::string_view name = record.DownloadList[i].view();
      std::string text = ReadFileVersion(key2, InFolder(programFolder, name), record, language);
      int32_t number = VersionNumber(text);
      if (number > highest) {
        highest = number;
        highestText = text;
      }
      if (Has(name, kStartupProgramName)) {
        record.StartupVersionFiles = number;
        out.startupProgramIndex = static_cast<int>(i);
      }
      // The group of programs ends before the first name that is not one.
      if (i + 1 >= record.DownloadList.size()) break;
      std::string_view next = record.DownloadList[i + 1].view();
      if (!Has(next, ".exe") && !Has(next, ".dll")) break;
      ++i;
    }
    if (out.startupProgramIndex > 0) {
      out.startupGroupEnd = static_cast<int>(i);
      out.sendStartupQuery = true;
    }
    record.MainFileVersion = highestText;
    record.MainFileVersionNumber = highest;
    out.statusText = "Version " + std::string(record.MainFileVersion.view());
  }

  // Both go to the second slot even when the main file gave no text;
  // otherwise the extra file's version would pose as the main version.
  if (!record.SWKenn1.empty()) {
    out.statusText +=
        " / " + ReadFileVersion(record.SWKenn1.view(), InFolder(programFolder, record.ExtraFile),
                                record, language, VersionSlot::Second);
  }
  if (!record.SWKenn3.empty()) {
    out.statusText +=
        " / " + ReadFileVersion(record.SWKenn3.view(), InFolder(programFolder, record.SensorFile),
                                record, language, VersionSlot::Second);
  }
  return out;
}

bool CheckVersions(DeviceRecord& record, const VersionCheckContext& context,
                   bool& downloadConfirmed) {
  const int language = context.language;
  int32_t& I = record.SoftwareVersionNumber;
  const int32_t F = record.MainFileVersionNumber;
  const int32_t S = record.SensorVersionNumber;
  const int32_t G = record.SecondFileVersionNumber;
  const int32_t P = record.StartupVersionInstrument;
  const int32_t Q = record.StartupVersionFiles;

  if (F < I && (G < S || S == 0)) {
    ShowMessageBox(InfoText(InfoCaptionError, language), InfoText(InfoNoValidVersion, language),
                   MsgIcon::Error);
    if (context.versionGuard) {
      if (context.addMemo) {
        context.addMemo(ReplaceFirstX(InfoText(InfoDeviceNewer, language), record.SoftwareVersion));
      }
      return false;
    }
    I = F;
    downloadConfirmed = true;
    // The downgrade is decided; asking whether to load the "same" version
    // again would only undo it. The sensor-over-USB limit still applies.
    if (context.usbOnly && S < G) return AskSensorOnlyOverUsb(language);
    return true;
  }

  if (I != F || (S != G && G != 0) || P != Q) {
    if (context.usbOnly && S < G) return AskSensorOnlyOverUsb(language);
    return true;
  }

  bool yes = AskYesNo(ReplaceFirstX(InfoText(InfoSameVersion, language), record.SoftwareVersion),
                      language);
  downloadConfirmed = yes;
  if (context.usbOnly && yes) return AskSensorOnlyOverUsb(language);
  return yes;
}

bool MainSoftwareToBeUpdated(const DeviceRecord& record, bool downloadConfirmed) {
  return record.SoftwareVersionNumber < record.MainFileVersionNumber ||
         (record.SoftwareVersionNumber == record.MainFileVersionNumber && downloadConfirmed);
}

bool SensorSoftwareToBeUpdated(const DeviceRecord& record, bool downloadConfirmed) {
  return record.SensorVersionNumber < record.SecondFileVersionNumber ||
         (record.SensorVersionNumber == record.SecondFileVersionNumber && downloadConfirmed);
}
