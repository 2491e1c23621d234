#pragma once
// What the simulated Windows-CE instrument received, read from its report,
// and the data frames a file must arrive in, worked out independently of
// the tool (own CRC-8) so that every check character is checked.
#include <QJsonObject>
#include <cstdint>
#include <string>
#include <vector>

struct SimFile {
  std::string name;
  std::string timestamp;
  long announcedSize = -1;
  std::string state;  // receiving, complete, skipped
  std::string data;
};

std::vector<SimFile> FilesOf(const QJsonObject& report);
// "D.<n> check <XX>" for every data frame the instrument received.
std::vector<std::string> DataFrames(const QJsonObject& report);
// The frames the content must be sent in, in the same notation.
std::vector<std::string> ExpectedFrames(const std::string& content);
// Seeded bytes of every value, for file contents.
std::string SeededBytes(std::size_t size, uint32_t seed);
