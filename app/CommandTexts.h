#pragma once
// The instrument commands the workflow sends, and the bytes that wake an
// instrument that waits in its boot loader.
#include <string>
#include <string_view>

#include "app/DeviceTable.h"

namespace Command {
inline constexpr const char* kWakeUp = "\r\n\r\n";
inline constexpr const char* kOpen = "A.1000\r\n";
inline constexpr const char* kFinal = "A.1111\r\n";
inline constexpr const char* kFinalTiTxt = "A.1121\r\n";
inline constexpr const char* kBoot = "A.1200\r\n";
inline constexpr const char* kBootSensor = "A.1230\r\n";
inline constexpr const char* kBootNoSensor = "A.1231\r\n";
inline constexpr const char* kBasicLoader = "A.1220\r\n";
inline constexpr const char* kSensorQuery = "A.2005\r\n";
inline constexpr const char* kSpecialStart = "A.1500\r\n";
inline constexpr const char* kClock = "A.1600#";
}  // namespace Command

// Start command by StartCommandIndex.
std::string_view StartCommand(int startCommandIndex);
// Identification query by identification step 0..4.
std::string_view IdentificationQuery(int step);
// The command that ends a run, by loader kind.
std::string_view FinalCommand(LoaderKind kind);
// Wake-up bytes of the boot-loader phase, by loader kind.
std::string_view WakeUpBytes(LoaderKind kind);
// Name of a BaudTag in the status bar.
std::string BaudName(int baudTag);
