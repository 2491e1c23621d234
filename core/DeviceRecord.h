#pragma once
// The record of the instrument of the current run: cleared when a search
// starts, filled by the identification and the firmware selection, read by
// the loaders (which write only the remembered password vector).
#include <cstdint>
#include <vector>

#include "core/FixedText.h"

struct DeviceRecord {
  static constexpr std::size_t kMaxDownloadList = 200;

  int32_t ProzTyp = 0;
  FixedText<20> PcbNumber;
  FixedText<20> DeviceNumber;
  FixedText<16> SoftwareVersion;    // as the instrument reports it
  FixedText<16> MainFileVersion;    // version text found in the main file
  FixedText<16> SecondFileVersion;  // the sensor (second) slot
  int32_t SoftwareVersionNumber = 0;
  int32_t MainFileVersionNumber = 0;
  int32_t SensorVersionNumber = 0;
  int32_t SecondFileVersionNumber = 0;
  int32_t StartupVersionInstrument = 0;
  int32_t StartupVersionFiles = 0;
  int32_t DownloadListLength = 0;
  FixedText<255> MainFile;
  FixedText<255> SensorFile;
  FixedText<255> ExtraFile;
  std::vector<FixedText<255>> DownloadList;  // at most kMaxDownloadList
  FixedText<40> SerialNumber;
  FixedText<120> DeviceName;
  char BasicLoaderVariant = 0;
  FixedText<64> SWKenn1;
  FixedText<64> SWKenn2;
  FixedText<64> SWKenn3;
  FixedText<64> BootLoadKenn;
  FixedText<80> BootLoaderId;  // framed boot-loader record from the instrument
  bool DirectEntry = false;    // the instrument is already in its loader
  bool NoSensor = false;
  bool MainFileMarker = false;    // trailing '@' on the main file
  bool SensorFileMarker = false;  // trailing '@' on the sensor file
  int32_t FlashErase1 = 0;
  int32_t FlashErase2 = 0;
  int32_t FlashErase3 = 0;
  FixedText<256> ProgDefFile;
  int32_t RememberedVector = 0;
  bool VectorRemembered = false;

  void Clear() { *this = DeviceRecord{}; }
};
