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
