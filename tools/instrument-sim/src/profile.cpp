#include "profile.h"

#include <fstream>
#include <sstream>

#include "ini_file.h"

namespace sim {
namespace {

std::vector<std::string> splitLines(const std::string& v) {
  // Several lines in one value are separated by '|'.
  std::vector<std::string> out;
  std::istringstream in(v);
  std::string item;
  while (std::getline(in, item, '|')) out.push_back(trim(item));
  return out;
}

bool codeIn(long v, std::initializer_list<long> allowed) {
  for (long a : allowed)
    if (a == v) return true;
  return false;
}

class Reader {
 public:
  Reader(const IniFile& ini, std::string& error) : ini_(ini), error_(error) {}

  void text(const char* key, std::string& out) {
    if (auto v = ini_.get(key)) out = *v;
  }
  void flag(const char* key, bool& out) {
    if (auto v = ini_.get(key)) out = parseBool(*v, out);
  }
  template <typename T>
  void number(const char* key, T& out, std::initializer_list<long> allowed = {}) {
    auto v = ini_.get(key);
    if (!v || v->empty()) return;
    auto n = parseNumber(*v);
    if (!n || (allowed.size() && !codeIn(*n, allowed)) || *n < 0) {
      fail(std::string("bad value for ") + key + ": " + *v);
      return;
    }
    out = static_cast<T>(*n);
  }
  void rule(const char* key, FaultRule& out) {
    if (auto v = ini_.get(key)) out = FaultRule::parse(*v);
  }
  void fail(const std::string& message) {
    if (error_.empty()) error_ = message;
  }

 private:
  const IniFile& ini_;
  std::string& error_;
};

unsigned parseBcdVersion(const std::string& text, bool& ok) {
  // "1.61" -> 0x0161: the loader reports its version as two BCD-like bytes.
  size_t dot = text.find('.');
  ok = dot != std::string::npos && dot > 0 && text.size() - dot - 1 == 2;
  if (!ok) return 0;
  auto major = parseNumber("0x" + text.substr(0, dot));
  auto minor = parseNumber("0x" + text.substr(dot + 1));
  ok = major && minor && *major < 256;
  return ok ? static_cast<unsigned>(*major << 8 | *minor) : 0;
}

}  // namespace

bool parseProfile(const std::string& text, Profile& p, std::string& error) {
  IniFile ini;
  ini.parse(text);
  error.clear();
  Reader r(ini, error);

  r.text("Name", p.name);
  r.text("PcbNumber", p.pcbNumber);
  r.number("PcbCode", p.pcbCode, {23, 203, 2013});
  r.text("DeviceNumber", p.deviceNumber);
  r.number("DeviceCode", p.deviceCode, {20, 200, 2010});
  r.text("Version", p.version);
  r.number("VersionCode", p.versionCode, {21, 201, 2011});
  r.text("SerialNumber", p.serialNumber);
  r.number("SerialCode", p.serialCode, {25, 205});
  r.text("StartupVersion", p.startupVersion);
  r.flag("UsbOnly", p.usbOnly);
  r.text("BasicLoaderVariant", p.basicLoaderVariant);

  r.number("BaudRate", p.baudRate, {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200});
  r.text("StartCommand", p.startCommand);
  if (p.startCommand != "A.1111" && p.startCommand != "A.1000")
    r.fail("bad value for StartCommand: " + p.startCommand);
  r.flag("Silent", p.silent);
  r.text("ClockReply", p.clockReply);
  if (p.clockReply != "31" && p.clockReply != "30" && p.clockReply != "!")
    r.fail("bad value for ClockReply: " + p.clockReply);
  r.number("ReplyDelayMs", p.replyDelayMs);
  r.flag("ExitOnFinal", p.exitOnFinal);

  std::string target = lower(ini.get("Target", "none"));
  if (target == "none")
    p.target = TargetKind::None;
  else if (target == "external")
    p.target = TargetKind::External;
  else if (target == "bsl")
    p.target = TargetKind::Bsl;
  else if (target == "basic")
    p.target = TargetKind::BasicLoader;
  else if (target == "wince")
    p.target = TargetKind::WinCe;
  else
    r.fail("bad value for Target: " + target);

  r.number("LoaderBaud", p.loaderBaud, {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200});
  r.number("RejectLoaderRuns", p.rejectLoaderRuns);
  r.text("BootRecord", p.bootRecord);
  r.text("BootRecordMarker", p.bootRecordMarker);
  if (p.bootRecordMarker != "h00h" && p.bootRecordMarker != "h11h")
    r.fail("bad value for BootRecordMarker: " + p.bootRecordMarker);

  r.number("BslDeviceId", p.bslDeviceId);
  if (auto v = ini.get("BslVersion")) {
    bool ok = false;
    unsigned bcd = parseBcdVersion(*v, ok);
    if (ok)
      p.bslVersion = bcd;
    else
      r.fail("bad value for BslVersion: " + *v);
  }
  r.number("VectorReplyCode", p.vectorReplyCode, {80, 81});
  r.text("Vector", p.vector);
  r.number("AppStartMs", p.appStartMs);
  if (auto v = ini.get("AppStartReplies")) {
    p.appStartReplies = splitLines(*v);
    if (p.appStartReplies.empty()) r.fail("AppStartReplies needs at least one line");
  }
  r.flag("OldFirmware", p.oldFirmware);
  r.flag("StartInLoader", p.startInLoader);
  r.flag("AppStartStrict", p.appStartStrict);
  if (auto v = ini.get("LoaderNoise")) {
    std::istringstream in(*v);
    std::string token;
    while (in >> token) {
      auto n = parseNumber(token.rfind("0x", 0) == 0 ? token : "0x" + token);
      if (!n || *n < 0 || *n > 255) {
        r.fail("bad value for LoaderNoise: " + *v);
        break;
      }
      p.loaderNoise += static_cast<char>(*n);
    }
  }
  r.text("LoaderDoneReply", p.loaderDoneReply);
  if (auto v = ini.get("PasswordFill")) {
    auto n = parseNumber("0x" + *v);
    if (n && *n >= 0 && *n <= 255)
      p.passwordFill = static_cast<int>(*n);
    else
      r.fail("bad value for PasswordFill: " + *v);
  }

  r.number("BasicLoaderReadRate", p.basicLoaderReadRate);
  r.number("BasicLoaderEraseMs", p.basicLoaderEraseMs);
  r.number("BasicLoaderRestartMs", p.basicLoaderRestartMs);
  r.number("BasicLoaderSegments", p.basicLoaderSegments, {1, 2});
  r.number("BasicLoaderDefectAtRecord", p.basicLoaderDefectAtRecord);
  r.text("BasicLoaderDefectText", p.basicLoaderDefectText);

  r.number("WinCeReply260AtFrame", p.winCeReply260AtFrame);
  r.number("WinCeReply261AtFrame", p.winCeReply261AtFrame);
  r.number("WinCeReply261Value", p.winCeReply261Value);
  r.number("WinCeSilentFromFrame", p.winCeSilentFromFrame);

  r.rule("NoAnswer", p.noAnswer);
  r.rule("Reject", p.reject);
  r.rule("DropReply", p.dropReply);
  r.rule("Nak", p.nak);
  r.rule("CorruptChecksum", p.corruptChecksum);
  r.flag("NakSyncAfterNak", p.nakSyncAfterNak);
  r.number("StallAfterBytes", p.stallAfterBytes);
  r.number("StallMs", p.stallMs);
  r.number("UnplugAfterBytes", p.unplugAfterBytes);

  for (const auto& [key, value] : ini.entries()) {
    // "Reply.A.2001 = ..." / "Extra.A.4001 = ..."; keys come lower-cased.
    if (key.rfind("reply.", 0) == 0)
      p.replyOverride["A." + key.substr(8)] = splitLines(value);
    else if (key.rfind("extra.", 0) == 0)
      p.replyExtra["A." + key.substr(8)] = splitLines(value);
  }
  return error.empty();
}

bool loadProfile(const std::string& path, Profile& out, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot read profile " + path;
    return false;
  }
  std::stringstream text;
  text << in.rdbuf();
  return parseProfile(text.str(), out, error);
}

}  // namespace sim
