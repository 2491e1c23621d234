#pragma once
// Takes the firmware files of the matched instrument into the run's record.
#include <string>
#include <vector>

#include "app/DeviceTable.h"
#include "core/DeviceRecord.h"

// The Basic-Loader image that replaces the sensor file of some instruments.
inline constexpr const char* kBasicLoaderSensorFile = "l3_terml.a37";

// Fills MainFile (+ marker), DownloadList, ExtraFile, SensorFile (+ marker)
// from entry and returns the loader kind. Wildcard pieces ("prefix*.*") are
// looked up under programFolder. record.DeviceNumber must already be set.
// Anything cut or left out to stay within the record is described in notes.
LoaderKind TakeDeviceFiles(const DeviceEntry& entry, const DeviceTable& table,
                           const std::string& programFolder, DeviceRecord& record,
                           std::vector<std::string>* notes = nullptr);

// Empty when name is found in folder; otherwise the message (language 0
// German, 1 English) that names the file and the folder, or the files that
// make it ambiguous.
std::string FirmwareFileFault(const std::string& folder, const std::string& name, int language);

// The first fault among the files the matched instrument would be given
// (main file, download list, and the extra and sensor files whose versions
// are read); empty when all are there. Checked before any command changes
// the instrument's state.
std::string MissingFirmwareText(const DeviceRecord& record, const std::string& folder,
                                int language);

// Shows MissingFirmwareText as an error box; true when there was a fault.
bool ShowMissingFirmware(const DeviceRecord& record, const std::string& folder, int language,
                         const std::string& caption);

// An MSP430 run without usable BSL430.ini is refused while the meter is
// still in its application: shows why and returns true. A refusal here
// ends the run, so the next OK searches again instead of retrying into a
// loader that was never started.
bool ShowLoaderNotReady(LoaderKind kind, int language, const std::string& caption);
