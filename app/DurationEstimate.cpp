#include "app/DurationEstimate.h"

#include <algorithm>

namespace {

// Line bits of one byte (start, 8 data, stop; two stop bits are rounded
// into the factors below).
constexpr std::uintmax_t kBitsPerByte = 11;
// Erase, the meter's restart and the workflow's waits around one transfer.
constexpr std::uintmax_t kOverheadSeconds = 60;

// How many times the file's bytes cross the line, as a whole number of
// halves: acknowledgements, flow control and flash programming eat the rest.
std::uintmax_t HalfCrossings(DurationMethod method) {
  switch (method) {
    case DurationMethod::LoaderProgram: return 4;  // frames with answers, flash writes
    case DurationMethod::Msp430:
      return 3;                                  // TI-TXT text holds a third in data: written,
                                                 // read back, frames and SYNCs
    case DurationMethod::BasicLoader: return 4;  // CTS held while the flash is written
    case DurationMethod::WinCe: return 4;        // each frame waits for its "!"
  }
  return 4;
}

int PartMinutes(const DurationPart& part) {
  if (part.bytes == 0 || part.lineBaud <= 0) return part.figureMinutes;
  const std::uintmax_t baud = static_cast<std::uintmax_t>(part.lineBaud);
  const std::uintmax_t lineSeconds =
      (part.bytes * kBitsPerByte * HalfCrossings(part.method) + 2 * baud - 1) / (2 * baud);
  const std::uintmax_t minutes = (lineSeconds + kOverheadSeconds + 59) / 60;
  const std::uintmax_t capped = std::min<std::uintmax_t>(minutes, 24 * 60);
  return std::max(part.figureMinutes, static_cast<int>(capped));
}

}  // namespace

int EstimateMinutes(const std::vector<DurationPart>& parts) {
  int total = 0;
  for (const DurationPart& part : parts) total += PartMinutes(part);
  return total;
}
