#pragma once
// Turns a run log (one JSON object per line) into tables: runs per day and
// device type with their success rate, and the failures with the message
// each showed.
#include <string>
#include <vector>

struct ReportRun {
  std::string day;     // YYYY-MM-DD of the start
  std::string time;    // HH:MM:SS of the start
  std::string device;  // the device entry, else the reported device number
  int com = 0;
  std::string serial;
  std::string oldVersion;
  std::string newVersion;
  std::string outcome;
  std::string message;
};

// Lines that are not run records are counted in `skipped` and left out.
std::vector<ReportRun> ReadRunLog(const std::string& text, int* skipped);

std::string TextReport(const std::vector<ReportRun>& runs);
// Per day and device: day,device,runs,succeeded,failed,success_rate.
std::string CsvSummary(const std::vector<ReportRun>& runs);
// One row per run.
std::string CsvRuns(const std::vector<ReportRun>& runs);
