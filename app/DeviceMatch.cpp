#include "app/DeviceMatch.h"

#include <cstdlib>

#include "app/CommandTexts.h"
#include "app/FirmwareFiles.h"
#include "app/FirmwareSelection.h"
#include "core/Stringunit.h"
#include "platform/ProgramDir.h"

namespace {

// Everything up to and including the first comma goes.
template <std::size_t N>
bool DropUpToComma(FixedText<N>& field) {
  std::size_t comma = field.view().find(',');
  if (comma == std::string_view::npos) return false;
  field = std::string(field.view().substr(comma + 1));
  return true;
}

}  // namespace

void DeviceMatch::BeginRun(const DeviceTable& table) {
  startCommandIndex = table.StartCommandIndex;
  bslCommandIndex = 0;
  bootCommand = Command::kBoot;
  refused = false;
  usbOnly = false;
  winCe = false;
}

const DeviceEntry* DeviceMatch::FindEntry(const DeviceTable& table,
                                          const DeviceRecord& record) const {
  const DeviceEntry* entry = nullptr;
  for (const auto& e : table.entries)
    if (ContainsText(record.DeviceNumber.view(), e.DeviceNr.view())) {
      entry = &e;
      break;
    }
  if (!entry && (ContainsText(record.PcbNumber.view(), record.DeviceNumber.view()) ||
                 startCommandIndex == 3)) {
    for (const auto& e : table.entries)
      if (ContainsText(record.PcbNumber.view(), e.DeviceNrDef.view())) {
        entry = &e;
        break;
      }
  }
  return entry;
}

void DeviceMatch::TakeDeviceEntry(const DeviceEntry& entry, const DeviceTable& table,
                                  DeviceRecord& record, std::vector<std::string>* notes) {
  record.ProzTyp = entry.ProzTyp;
  record.SWKenn1 = entry.SWKenn1.view();
  record.SWKenn2 = entry.SWKenn2.view();
  record.SWKenn3 = entry.SWKenn3.view();
  record.BootLoadKenn = entry.BootLoadKenn.view();
  record.FlashErase1 = entry.FlashEraseNumber[0];
  record.FlashErase2 = entry.FlashEraseNumber[1];
  record.FlashErase3 = entry.FlashEraseNumber[2];
  record.ProgDefFile = entry.ProgDefFile.view();
  loaderKind = TakeDeviceFiles(entry, table, ProgramFolder(), record, notes);
}

bool DeviceMatch::BootLoaderMatches(const DeviceRecord& record) const {
  return record.BootLoaderId.empty() ||
         ContainsText(record.BootLoaderId.view(), record.BootLoadKenn.view());
}

bool DeviceMatch::MainFileFound(const DeviceRecord& record) const {
  return MainFileInScan(record.MainFile.view(), firmwareFiles);
}

bool DeviceMatch::TakeSensorHalves(DeviceRecord& record) const {
  record.SoftwareVersionNumber = record.SensorVersionNumber;
  record.SensorVersionNumber = 0;
  DropUpToComma(record.SoftwareVersion);
  bool devicePair = DropUpToComma(record.DeviceNumber);
  DropUpToComma(record.PcbNumber);
  DropUpToComma(record.SerialNumber);
  return devicePair;
}

void DeviceMatch::TakeNoSensor(const DeviceEntry& entry, DeviceRecord& record) {
  record.NoSensor = true;
  sensorPresent = false;
  record.SoftwareVersion = "X.XX";
  record.DeviceNumber = entry.DeviceNr.view();
  record.SerialNumber = "XXXXXXXX";
}

void DeviceMatch::FinishPairs(DeviceRecord& record) {
  record.SensorFileMarker = record.MainFileMarker;
  if (startCommandIndex == 3) {
    startCommandIndex = 2;
    bslCommandIndex = 1;
    bootCommand = record.NoSensor ? Command::kBootNoSensor : Command::kBootSensor;
  }
}

// The group is the start-up program and the programs read after it by the
// version check. The bounds are cleared once used: a retry runs this step
// again, and the same indexes would then name other files.
void DeviceMatch::RemoveStartupGroup(DeviceRecord& record) {
  const int begin = startupGroupBegin;
  const int end = startupGroupEnd;
  startupGroupBegin = startupGroupEnd = -1;
  const int size = static_cast<int>(record.DownloadList.size());
  if (begin < 0 || end < begin || end >= size) return;
  record.DownloadList.erase(record.DownloadList.begin() + begin,
                            record.DownloadList.begin() + end + 1);
  record.DownloadListLength = static_cast<int32_t>(record.DownloadList.size());
}
