// A new delivery made from the installed examples.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/FirstStart.h"
#include "tests/support/TempDir.h"

TEST(FirstStart, NewDeliveryGetsTheExamplesAndLanguageFilesAndKeepsWhatIsThere) {
  TempDir data;
  std::filesystem::create_directory(data.File("examples"));
  data.Write("examples/Update.ini", "[Update]\r\nLanguage=1\r\n");
  data.Write("examples/BSL430.ini", ";PasswordFill=\r\n");
  data.Write("Update.Eng", "english");
  TempDir station;
  std::filesystem::create_directory(station.File("delivery"));
  station.Write("delivery/BSL430.ini", "PasswordFill=A5\r\n");
  std::string error;
  ASSERT_TRUE(CreateDeliveryFromExamples(data.File("examples"), station.File("delivery"), error))
      << error;
  EXPECT_EQ(station.Read("delivery/Update.ini"), "[Update]\r\nLanguage=1\r\n");
  EXPECT_EQ(station.Read("delivery/Update.Eng"), "english");
  EXPECT_EQ(station.Read("delivery/BSL430.ini"), "PasswordFill=A5\r\n") << "an existing file stays";
  EXPECT_FALSE(CreateDeliveryFromExamples(data.File("examples"), "/proc/no-such/folder", error));
  EXPECT_NE(error.find("/proc/no-such/folder"), std::string::npos) << error;
}
