#pragma once
// DurationEstimate: the "may last up to X minutes" figure of a run, from the
// sizes of the files it sends and the line speed of each method. The old
// fixed figures stay as the least each transfer is announced with (they
// cover the meter's restarts and the waits around a transfer), but a large
// file raises its share and a small one no longer gets half an hour.
#include <cstdint>
#include <vector>

enum class DurationMethod { LoaderProgram, Msp430, BasicLoader, WinCe };

struct DurationPart {
  DurationMethod method = DurationMethod::LoaderProgram;
  std::uintmax_t bytes = 0;  // 0: size unknown, the figure alone counts
  int lineBaud = 38400;      // speed of the transfer itself
  int figureMinutes = 0;     // the least this part is announced with
};

// Whole minutes, rounded up per part, summed.
int EstimateMinutes(const std::vector<DurationPart>& parts);
