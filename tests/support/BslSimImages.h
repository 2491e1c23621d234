#pragma once
// Firmware images for driver tests, written by an independent tool
// (srec_cat) so that the reader is checked against someone else's TI-TXT,
// and the simulator's flash report read back for comparison.
#include <QJsonObject>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

using ByteMap = std::map<uint32_t, uint8_t>;

struct ImageLayout {
  std::size_t infoBytes = 16;    // at 0x1000, the information segment
  std::size_t mainBytes = 1024;  // from 0x1100 upwards
  std::size_t highBytes = 0;     // from 0x10000 upwards
  uint32_t seed = 1;
};

// Random data in that layout plus a vector table at 0xFFE0 whose reset
// vector points to 0x1100, written to `file` as TI-TXT. Returns the bytes.
ByteMap WriteTiTxtImage(const std::string& file, const ImageLayout& layout);

ByteMap ParseIntelHex(const std::string& text);
// The bytes of a TI-TXT text by address.
ByteMap ParseTiTxt(const std::string& text);
ByteMap FlashOf(const QJsonObject& report);
// Texts of the report's events of one direction and kind, in order.
std::vector<std::string> EventTexts(const QJsonObject& report, const std::string& dir,
                                    const std::string& kind);
std::vector<std::string> Violations(const QJsonObject& report);

// BSL430.ini with the constants the simulated meters' firmware uses. The
// tool has no built-in values, so every folder a download runs in gets it.
void WriteBslConstants(const std::string& folder);
