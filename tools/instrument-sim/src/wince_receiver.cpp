#include "wince_receiver.h"

#include <cctype>

#include "crc8.h"
#include "ini_file.h"
#include "json_text.h"

namespace sim {
namespace {
constexpr size_t kMaxFrameData = 2000;
}

WinCeReceiver::WinCeReceiver(const Profile& profile, InstrumentLine& line)
    : profile_(profile), line_(line) {}

ReceivedFile* WinCeReceiver::current() {
  auto& files = line_.report().files();
  if (currentIndex_ < 0 || currentIndex_ >= static_cast<int>(files.size())) return nullptr;
  return &files[currentIndex_];
}

WinCeReceiver::Parse WinCeReceiver::takeFrame(std::string& buffer, std::string& answer) {
  size_t pos = 2;
  while (pos < buffer.size() && std::isdigit(static_cast<unsigned char>(buffer[pos]))) ++pos;
  if (pos == buffer.size()) return pos - 2 > 6 ? Parse::NotFrame : Parse::Incomplete;
  if (pos == 2 || pos - 2 > 6 || buffer[pos] != ',') return Parse::NotFrame;
  if (buffer.size() < pos + 3) return Parse::Incomplete;
  if (buffer[pos + 2] != '#') return Parse::NotFrame;
  size_t n = std::stoul(buffer.substr(2, pos - 2));
  unsigned char check = static_cast<unsigned char>(buffer[pos + 1]);
  size_t header = pos + 3;
  if (n > kMaxFrameData) {
    line_.report().violation("data frame of " + std::to_string(n) + " bytes, at most 2000 allowed");
    buffer.erase(0, header);
    answer = "?";
    return Parse::Frame;
  }
  if (buffer.size() < header + n) return Parse::Incomplete;
  std::string data = buffer.substr(header, n);
  buffer.erase(0, header + n);
  ++frames_;
  line_.report().event(
      "rx", "wince",
      "D." + std::to_string(n) + " check " + hexBytes(std::string(1, static_cast<char>(check))),
      line_.lineBaud());

  if (profile_.winCeSilentFromFrame > 0 && frames_ >= profile_.winCeSilentFromFrame) {
    if (frames_ == profile_.winCeSilentFromFrame)
      line_.report().event("", "fault", "silent from data frame " + std::to_string(frames_));
    answer.clear();  // the meter hangs: nothing is answered any more
    silent_ = true;
    return Parse::Frame;
  }
  ReceivedFile* file = current();
  if (!file || file->state != "receiving") {
    line_.report().violation("data frame without an announced file");
    answer = "?";
    return Parse::Frame;
  }
  if (frames_ == profile_.winCeReply260AtFrame) {
    line_.report().event("", "fault", "code 260: file " + file->name + " abandoned");
    file->state = "skipped";
    answer = "I.260#";
    return Parse::Frame;
  }
  if (frames_ == profile_.winCeReply261AtFrame) {
    line_.report().event("", "fault",
                         "code 261 with value " + std::to_string(profile_.winCeReply261Value));
    answer = "I.261#" + std::to_string(profile_.winCeReply261Value);
    return Parse::Frame;
  }
  if (check != frameCheckCharacter(data)) {
    line_.report().violation("data frame with a wrong check character");
    answer = "I.261#2";  // asks for the same frame again
    return Parse::Frame;
  }
  file->data += data;
  if (static_cast<long>(file->data.size()) > file->announcedSize)
    line_.report().violation("file " + file->name + " longer than announced");
  answer = "!";
  return Parse::Frame;
}

std::string WinCeReceiver::command(const std::string& code, const std::string& arg) {
  ReceivedFile* file = current();
  if (code == "A.1201" || code == "A.1205") {
    size_t c2 = arg.rfind(',');
    size_t c1 = c2 == std::string::npos || c2 == 0 ? std::string::npos : arg.rfind(',', c2 - 1);
    auto size = c2 == std::string::npos ? std::nullopt : parseNumber(arg.substr(c2 + 1));
    if (c1 == std::string::npos || !size) {
      line_.report().violation("announce without name, time stamp and size: " + arg);
      return "?";
    }
    if (file && file->state == "receiving")
      line_.report().violation("file " + file->name + " announced over before its end");
    ReceivedFile f;
    f.name = arg.substr(0, c1);
    f.timestamp = arg.substr(c1 + 1, c2 - c1 - 1);
    f.announcedSize = *size;
    line_.report().files().push_back(f);
    currentIndex_ = static_cast<int>(line_.report().files().size()) - 1;
    return "!";
  }
  if (code == "A.1202") {
    if (!file || file->state != "receiving") {
      line_.report().violation("end of file without a file being received");
      return "?";
    }
    if (static_cast<long>(file->data.size()) != file->announcedSize) {
      line_.report().violation("file " + file->name + " ended with " +
                               std::to_string(file->data.size()) + " bytes, " +
                               std::to_string(file->announcedSize) + " announced");
      return "?";
    }
    file->state = "complete";
    return "!";
  }
  // A.1203
  if (file && file->state == "receiving")
    line_.report().violation("end of transfer inside file " + file->name);
  line_.report().event("", "state", "file transfer ended");
  return "!";
}

}  // namespace sim
