#include "tests/support/BslSimImages.h"

#include <cctype>

#include <QJsonArray>
#include <cstdlib>
#include <fstream>
#include <random>

namespace {

void WriteBinary(const std::string& file, const std::vector<uint8_t>& bytes) {
  std::ofstream(file, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

ByteMap WriteTiTxtImage(const std::string& file, const ImageLayout& layout) {
  std::mt19937 rng(layout.seed);
  ByteMap bytes;
  std::string command = "srec_cat";
  auto part = [&](const std::string& name, uint32_t base, std::vector<uint8_t> data) {
    if (data.empty()) return;
    for (std::size_t i = 0; i < data.size(); ++i) bytes[base + static_cast<uint32_t>(i)] = data[i];
    WriteBinary(file + "." + name, data);
    command += " '" + file + "." + name + "' -binary -offset " + std::to_string(base);
  };
  auto random = [&](std::size_t n) {
    std::vector<uint8_t> data(n);
    for (auto& b : data) b = static_cast<uint8_t>(rng());
    return data;
  };
  part("info", 0x1000, random(layout.infoBytes));
  std::vector<uint8_t> main = random(layout.mainBytes);
  if (!main.empty()) main[0] = 0x31;  // the entry is code, never an erased word
  part("main", 0x1100, main);
  part("high", 0x10000, random(layout.highBytes));
  std::vector<uint8_t> vectors = random(32);
  vectors[30] = 0x00;  // reset vector: 0x1100
  vectors[31] = 0x11;
  part("vectors", 0xFFE0, vectors);
  command += " -o '" + file + "' -TI_TXT";
  if (std::system(command.c_str()) != 0) return {};
  return bytes;
}

ByteMap ParseIntelHex(const std::string& text) {
  ByteMap bytes;
  uint32_t base = 0;
  std::size_t pos = 0;
  while ((pos = text.find(':', pos)) != std::string::npos) {
    auto byteAt = [&](std::size_t i) {
      return static_cast<uint8_t>(std::stoi(text.substr(pos + 1 + 2 * i, 2), nullptr, 16));
    };
    const uint8_t count = byteAt(0);
    const uint32_t address = static_cast<uint32_t>(byteAt(1) << 8 | byteAt(2));
    const uint8_t type = byteAt(3);
    if (type == 0)
      for (uint8_t i = 0; i < count; ++i) bytes[base + address + i] = byteAt(4u + i);
    else if (type == 2)
      base = static_cast<uint32_t>(byteAt(4) << 8 | byteAt(5)) << 4;
    else if (type == 4)
      base = static_cast<uint32_t>(byteAt(4) << 8 | byteAt(5)) << 16;
    else if (type == 1)
      break;
    pos += 1;
  }
  return bytes;
}

ByteMap ParseTiTxt(const std::string& text) {
  ByteMap m;
  uint32_t address = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    const auto hex = [&](std::size_t at) {
      return std::isxdigit(static_cast<unsigned char>(text[at])) != 0;
    };
    if (text[i] == '@') {
      address = static_cast<uint32_t>(std::stoul(text.substr(i + 1, 8), nullptr, 16));
      i = text.find('\n', i);
      if (i == std::string::npos) break;
    } else if (hex(i) && i + 1 < text.size() && hex(i + 1)) {
      m[address++] = static_cast<uint8_t>(std::stoul(text.substr(i, 2), nullptr, 16));
      i += 2;
      continue;
    } else if (text[i] == 'q') {
      break;
    }
    ++i;
  }
  return m;
}

ByteMap FlashOf(const QJsonObject& report) {
  const QJsonValue flash = report.value("flash");
  if (!flash.isObject()) return {};
  return ParseIntelHex(flash.toObject().value("text").toString().toStdString());
}

std::vector<std::string> EventTexts(const QJsonObject& report, const std::string& dir,
                                    const std::string& kind) {
  std::vector<std::string> texts;
  for (const auto& v : report.value("events").toArray()) {
    const QJsonObject e = v.toObject();
    if (e.value("dir").toString().toStdString() == dir &&
        e.value("kind").toString().toStdString() == kind)
      texts.push_back(e.value("text").toString().toStdString());
  }
  return texts;
}

std::vector<std::string> Violations(const QJsonObject& report) {
  std::vector<std::string> texts;
  for (const auto& v : report.value("violations").toArray())
    texts.push_back(v.toObject().value("text").toString().toStdString());
  return texts;
}

void WriteBslConstants(const std::string& folder) {
  std::ofstream(folder + "/BSL430.ini", std::ios::binary | std::ios::trunc)
      << "[BSL430]\r\nPasswordFill = FF\r\nDefaultVector = 0x1E5\r\nAlternativeVector = 0x1E7\r\n";
}
