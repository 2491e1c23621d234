#include "bsl430_settings.h"

#include "ini_file.h"

namespace sim {

bool loadBsl430Settings(const std::string& path, Bsl430Settings& out, std::string& error) {
  IniFile ini;
  if (!ini.load(path)) return true;
  if (auto v = ini.get("PasswordFill")) {
    auto n = parseNumber("0x" + *v);
    if (!n || *n < 0 || *n > 0xFF) {
      error = "BSL430.ini: bad PasswordFill " + *v;
      return false;
    }
    out.passwordFill = static_cast<unsigned char>(*n);
  }
  for (auto [key, field] : {std::pair{"DefaultVector", &out.defaultVector},
                            std::pair{"AlternativeVector", &out.alternativeVector}}) {
    if (auto v = ini.get(key)) {
      auto n = parseNumber(*v);
      if (!n || *n < 0 || *n > 0xFFFF) {
        error = std::string("BSL430.ini: bad ") + key + " " + *v;
        return false;
      }
      *field = static_cast<unsigned>(*n);
    }
  }
  return true;
}

}  // namespace sim
