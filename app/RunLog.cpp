#include "app/RunLog.h"

#include <fcntl.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "core/IniLines.h"
#include "platform/Text1252.h"

namespace {

void AppendEscaped(std::string& out, std::string_view utf8) {
  out += '"';
  for (unsigned char c : utf8) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  out += '"';
}

class JsonObjectWriter {
 public:
  explicit JsonObjectWriter(std::string& out) : out_(out) { out_ += '{'; }
  void Text(const char* key, std::string_view text1252) {
    Key(key);
    AppendEscaped(out_, Cp1252ToUtf8(text1252));
  }
  void Number(const char* key, long long value) {
    Key(key);
    out_ += std::to_string(value);
  }
  void Decimal(const char* key, double value) {
    Key(key);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f", value);
    out_ += buf;
  }
  void Bool(const char* key, bool value) {
    Key(key);
    out_ += value ? "true" : "false";
  }
  void Null(const char* key) {
    Key(key);
    out_ += "null";
  }
  // The caller writes the value (an object or array) next.
  void Key(const char* key) {
    if (!first_) out_ += ',';
    first_ = false;
    AppendEscaped(out_, key);
    out_ += ':';
  }
  void Close() { out_ += '}'; }

 private:
  std::string& out_;
  bool first_ = true;
};

}  // namespace

std::string RunRecordJson(const RunRecord& r) {
  std::string out;
  JsonObjectWriter o(out);
  o.Text("start", r.start);
  o.Text("end", r.end);
  o.Decimal("duration_s", r.seconds);
  o.Text("host", r.host);
  o.Text("tool_version", r.toolVersion);
  o.Text("settings_version", r.settingsVersion);
  o.Number("pid", r.pid);
  o.Key("port");
  {
    JsonObjectWriter p(out);
    if (r.comNumber > 0)
      p.Number("com", r.comNumber);
    else
      p.Null("com");
    p.Text("device", r.devicePath);
    if (r.byIdPath.empty())
      p.Null("by_id");
    else
      p.Text("by_id", r.byIdPath);
    p.Close();
  }
  o.Key("meter");
  {
    JsonObjectWriter m(out);
    m.Text("pcb_number", r.pcbNumber);
    m.Text("device_number", r.deviceNumber);
    m.Text("serial_number", r.serialNumber);
    m.Text("software_version", r.softwareVersion);
    m.Close();
  }
  o.Key("device_entry");
  if (r.deviceEntry.empty() && r.deviceEntryNumber.empty()) {
    out += "null";
  } else {
    JsonObjectWriter d(out);
    d.Text("name", r.deviceEntry);
    d.Text("device_number", r.deviceEntryNumber);
    d.Text("file_version", r.fileVersion);
    d.Close();
  }
  o.Text("method", r.method);
  o.Key("files");
  out += '[';
  for (std::size_t i = 0; i < r.files.size(); ++i) {
    if (i) out += ',';
    const RunLogFile& f = r.files[i];
    JsonObjectWriter j(out);
    j.Text("name", f.name);
    j.Text("path", f.path);
    if (f.size >= 0)
      j.Number("size", f.size);
    else
      j.Null("size");
    if (f.sha256.empty())
      j.Null("sha256");
    else
      j.Text("sha256", f.sha256);
    j.Text("method", f.method);
    j.Bool("transferred", f.transferred);
    j.Close();
  }
  out += ']';
  o.Text("outcome", r.outcome);
  o.Text("message", r.message);
  if (r.error.empty())
    o.Null("error");
  else
    o.Text("error", r.error);
  if (r.exitStatus)
    o.Number("exit_status", *r.exitStatus);
  else
    o.Null("exit_status");
  o.Close();
  out += '\n';
  return out;
}

std::string AppendRunLine(const std::string& path, const std::string& line) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return std::strerror(errno);
  // One write() of the whole line: with O_APPEND the kernel places it at
  // the end in one piece, whatever other runs append at the same time.
  const ssize_t n = ::write(fd, line.data(), line.size());
  const int writeErrno = errno;
  const bool closed = ::close(fd) == 0;
  if (n < 0) return std::strerror(writeErrno);
  if (static_cast<std::size_t>(n) != line.size()) return "the line was cut short (disk full?)";
  if (!closed) return std::strerror(errno);
  return {};
}

void HashRunLogFile(RunLogFile& file) {
  QFile f(QString::fromStdString(file.path));
  if (!f.open(QIODevice::ReadOnly)) {
    file.size = -1;
    file.sha256.clear();
    return;
  }
  QCryptographicHash hash(QCryptographicHash::Sha256);
  if (!hash.addData(&f)) {
    file.size = -1;
    file.sha256.clear();
    return;
  }
  file.size = f.size();
  file.sha256 = hash.result().toHex().toStdString();
}

std::string IsoTimeNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[40];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
  const long offset = local.tm_gmtoff;
  const long minutes = (offset < 0 ? -offset : offset) / 60;
  char zone[48];
  std::snprintf(zone, sizeof zone, "%c%02ld:%02ld", offset < 0 ? '-' : '+', minutes / 60,
                minutes % 60);
  return std::string(text) + zone;
}

RunLogOptions& ProcessRunLogOptions() {
  static RunLogOptions options;
  return options;
}

std::string ChooseRunLogPath(const std::optional<std::string>& commandLine,
                             const std::string& updateIni) {
  if (commandLine) return *commandLine;
  if (auto lines = LoadLines(updateIni); lines && FindName(*lines, "RunLog") >= 0)
    return LookupValue(*lines, "RunLog");
  return kDefaultRunLog;
}
