#include "app/CommandTexts.h"

std::string_view StartCommand(int startCommandIndex) {
  return startCommandIndex == 1 ? Command::kOpen : Command::kFinal;
}

std::string_view IdentificationQuery(int step) {
  static constexpr const char* kQueries[] = {"A.2003\r\n", "A.2000\r\n", "A.2001\r\n", "A.4001\r\n",
                                             "A.1111\r\n"};
  if (step < 0 || step > 4) step = 4;
  return kQueries[step];
}

std::string_view FinalCommand(LoaderKind kind) {
  return kind == kLoaderTiTxt ? Command::kFinalTiTxt : Command::kFinal;
}

std::string_view WakeUpBytes(LoaderKind kind) {
  using namespace std::string_view_literals;
  switch (kind) {
    case kLoaderSRecord: return "\x68\x00\x00\x68\x00\x00\x00\x00\x16"sv;
    case kLoaderTiTxt: return "\x80"sv;
    default: return "\r\n"sv;
  }
}

std::string BaudName(int baudTag) {
  static constexpr const char* kNames[] = {"1200",  "2400",  "4800",  "9600",
                                           "19200", "38400", "57600", "115200"};
  return baudTag >= 0 && baudTag < 8 ? kNames[baudTag] : "?";
}
