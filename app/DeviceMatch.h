#pragma once
// DeviceMatch: the identified instrument against the device table, and
// the facts about it that hold for the rest of the run: how it is started
// and sent to its boot loader, which method carries its firmware, whether
// the user confirmed the download, whether it has a sensor.
#include <string>
#include <vector>

#include "app/DeviceTable.h"
#include "core/DeviceRecord.h"

class DeviceMatch {
 public:
  // A new search: what an earlier run changed for itself goes back.
  void BeginRun(const DeviceTable& table);

  // The first entry whose DeviceNr occurs in the device number; failing
  // that, for a PCB number that holds the device number (or with
  // StartCommandIndex 3), the first whose DeviceNrDef occurs in the PCB
  // number. Null when none matches.
  const DeviceEntry* FindEntry(const DeviceTable& table, const DeviceRecord& record) const;
  // The entry's identifiers, erase figures and files into the record; the
  // main file decides the loader kind.
  void TakeDeviceEntry(const DeviceEntry& entry, const DeviceTable& table, DeviceRecord& record,
                       std::vector<std::string>* notes);
  // A boot-loader record received in the search names the entry's boot
  // loader (or none was received).
  bool BootLoaderMatches(const DeviceRecord& record) const;
  // The main file is one of the firmware files found at start-up.
  bool MainFileFound(const DeviceRecord& record) const;

  // Instruments that report pairs of instrument value and sensor value.
  bool ReportsPairs() const { return startCommandIndex == 2 || startCommandIndex == 3; }
  // Keeps the sensor's half of each pair; false when the device number
  // was no pair (no digital sensor answered).
  bool TakeSensorHalves(DeviceRecord& record) const;
  // The user goes on without a sensor.
  void TakeNoSensor(const DeviceEntry& entry, DeviceRecord& record);
  // The sensor file's marker follows the main file's; StartCommandIndex 3
  // becomes 2 with its own boot command.
  void FinishPairs(DeviceRecord& record);

  // The start-up group leaves the download list (it is as new in the
  // instrument); the bounds are used once.
  void RemoveStartupGroup(DeviceRecord& record);

  std::vector<std::string> firmwareFiles;  // found at start-up
  int startCommandIndex = 0;
  LoaderKind loaderKind = kLoaderSRecord;
  int bslCommandIndex = 0;
  std::string bootCommand = "A.1200\r\n";
  bool refused = false;
  bool downloadConfirmed = false;
  bool sensorPresent = false;
  bool usbOnly = false;    // the instrument takes firmware over USB only
  bool winCe = false;      // the Windows-CE transfer ran in this run
  bool preLoader = false;  // once a pre-loader ran it counts until the end
  int startupGroupBegin = -1;
  int startupGroupEnd = -1;
};
