// run-report [--csv | --csv-runs] [FILE...]: a run log as tables (standard
// input when no file is named).
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "RunReport.h"

int main(int argc, char** argv) {
  enum { kText, kCsv, kCsvRuns } mode = kText;
  std::string text;
  bool anyFile = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--csv") {
      mode = kCsv;
    } else if (a == "--csv-runs") {
      mode = kCsvRuns;
    } else if (a == "--help" || a == "-h") {
      std::puts(
          "usage: run-report [--csv | --csv-runs] [RUN-LOG...]\n"
          "  (no option)  runs per day and device with success rate, then the failures\n"
          "  --csv        the per-day, per-device table as CSV\n"
          "  --csv-runs   one CSV row per run");
      return 0;
    } else {
      std::ifstream in(a, std::ios::binary);
      if (!in) {
        std::fprintf(stderr, "run-report: cannot read %s\n", a.c_str());
        return 2;
      }
      text.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
      anyFile = true;
    }
  }
  if (!anyFile)
    text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
  int skipped = 0;
  const auto runs = ReadRunLog(text, &skipped);
  if (skipped)
    std::fprintf(stderr, "run-report: %d line(s) are not run records, left out\n", skipped);
  const std::string out = mode == kCsv       ? CsvSummary(runs)
                          : mode == kCsvRuns ? CsvRuns(runs)
                                             : TextReport(runs);
  std::fputs(out.c_str(), stdout);
  return 0;
}
