#include "core/Placeholders.h"

#include "core/Infotext.h"

namespace {

std::string ReplaceAll(std::string_view text, std::string_view pattern,
                       std::string_view replacement) {
  std::string out;
  std::size_t from = 0;
  for (;;) {
    std::size_t at = text.find(pattern, from);
    if (at == std::string_view::npos) break;
    out.append(text.substr(from, at - from));
    out.append(replacement);
    from = at + pattern.size();
  }
  out.append(text.substr(from));
  return out;
}

}  // namespace

std::string FillPlaceholders(std::string_view text, const PlaceholderValues& values,
                             std::size_t capacity) {
  std::string out = ReplaceAll(text, "DATEI", values.mainFile);
  const std::string& name =
      values.deviceName.empty() ? InfoText(InfoDefaultName, values.language) : values.deviceName;
  out = ReplaceAll(out, "NAME", name);
  out = ReplaceAll(out, "COM X", "COM " + std::to_string(values.comNumber));
  out = ReplaceAll(out, "\\r", "\r\n");
  if (capacity != std::string::npos && capacity > 0 && out.size() > capacity - 1)
    out.resize(capacity - 1);
  return out;
}

std::string ReplaceFirstX(std::string_view text, std::string_view value) {
  std::string out(text);
  std::size_t at = out.find('X');
  if (at != std::string::npos) out.replace(at, 1, value);
  return out;
}
