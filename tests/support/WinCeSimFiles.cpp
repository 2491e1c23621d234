#include "tests/support/WinCeSimFiles.h"

#include <QJsonArray>
#include <cstdio>

#include "tests/support/BslSimImages.h"

std::vector<SimFile> FilesOf(const QJsonObject& report) {
  std::vector<SimFile> files;
  for (const auto& v : report.value("files").toArray()) {
    const QJsonObject o = v.toObject();
    SimFile f;
    f.name = o.value("name").toString().toStdString();
    f.timestamp = o.value("timestamp").toString().toStdString();
    f.announcedSize = static_cast<long>(o.value("announced_size").toDouble());
    f.state = o.value("state").toString().toStdString();
    f.data = QByteArray::fromBase64(o.value("data_base64").toString().toLatin1()).toStdString();
    files.push_back(f);
  }
  return files;
}

std::vector<std::string> DataFrames(const QJsonObject& report) {
  return EventTexts(report, "rx", "wince");
}

std::vector<std::string> ExpectedFrames(const std::string& content) {
  std::vector<std::string> frames;
  std::size_t at = 0;
  do {
    const std::string piece = content.substr(at, 2000);
    unsigned crc = 0xFF;
    for (unsigned char b : piece) {
      crc ^= b;
      for (int i = 0; i < 8; ++i)
        crc = (crc & 0x80) ? ((crc << 1) ^ 0x1D) & 0xFF : (crc << 1) & 0xFF;
    }
    if (crc == 0) crc = 1;
    if (crc == 'D' || crc == ',' || crc == '#') ++crc;
    char text[32];
    std::snprintf(text, sizeof text, "D.%zu check %02X", piece.size(), crc);
    frames.push_back(text);
    at += 2000;
  } while (at < content.size());
  return frames;
}

std::string SeededBytes(std::size_t size, uint32_t seed) {
  std::string s(size, '\0');
  uint32_t x = seed * 2654435761u + 1;
  for (auto& c : s) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    c = static_cast<char>(x >> 24);
  }
  return s;
}
