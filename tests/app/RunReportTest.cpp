// run-report's tables from a run log.
#include <gtest/gtest.h>

#include "RunReport.h"

namespace {

std::string Line(const std::string& start, const std::string& device, const std::string& outcome,
                 const std::string& error = "") {
  return "{\"start\":\"" + start +
         "\",\"port\":{\"com\":2},\"meter\":{\"serial_number\":\"S1\","
         "\"software_version\":\"1.05\"},\"device_entry\":{\"name\":\"" +
         device + "\",\"file_version\":\"1.30\"},\"outcome\":\"" + outcome +
         "\",\"message\":\"--------------------\\nDone\",\"error\":" +
         (error.empty() ? "null" : "\"" + error + "\"") + "}\n";
}

}  // namespace

TEST(RunReport, TablesPerDayAndDeviceWithRatesAndFailures) {
  const std::string log = Line("2026-12-08T09:00:00+01:00", "Meter, A", "success") +
                          Line("2026-12-08T09:05:00+01:00", "Meter, A", "failed",
                               "Fehler im Bootloader !!\\nZweite Zeile") +
                          "not json\n" + Line("2026-12-09T10:00:00+01:00", "Meter B", "success") +
                          Line("2026-12-08T11:00:00+01:00", "Meter B", "refused");
  int skipped = 0;
  const auto runs = ReadRunLog(log, &skipped);
  EXPECT_EQ(skipped, 1);
  ASSERT_EQ(runs.size(), 4u);
  EXPECT_EQ(runs[0].message, "--------------------\nDone");
  EXPECT_EQ(runs[1].message, "Fehler im Bootloader !!\nZweite Zeile") << "the error box says why";

  EXPECT_EQ(CsvSummary(runs),
            "day,device,runs,succeeded,failed,success_rate\n"
            "2026-12-08,Meter B,1,0,1,0.0\n"
            "2026-12-08,\"Meter, A\",2,1,1,50.0\n"
            "2026-12-09,Meter B,1,1,0,100.0\n");
  const std::string text = TextReport(runs);
  EXPECT_NE(text.find("4 runs, 2 succeeded (50.0 %)"), std::string::npos) << text;
  EXPECT_NE(text.find("failed      Fehler im Bootloader !!\n"), std::string::npos) << text;
  EXPECT_NE(text.find("refused"), std::string::npos) << text;
  EXPECT_EQ(CsvRuns(runs).substr(CsvRuns(runs).find('\n') + 1, 70),
            "2026-12-08,09:00:00,2,\"Meter, A\",S1,1.05,1.30,success,Done\n2026-12-08,");
}
