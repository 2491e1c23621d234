// Headless runs need no language file and never write one.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/e2e/E2eWorld.h"

TEST(HeadlessLanguage, CreatesAndChangesNoLanguageFile) {
  E2eWorld w;
  w.WriteUpdateIni(1);
  w.WriteProgDeviceIni({DeviceBlockSpec{}});
  ToolResult r = w.RunHeadless({"--delay-divisor", "50"});
  EXPECT_NE(r.exitCode, 64) << r.output;
  for (const char* f : {"Update.Deu", "Update.Eng", "own.lng", "sprache.lng"})
    EXPECT_FALSE(std::filesystem::exists(w.Dir().File(f))) << f;
}

TEST(HeadlessLanguage, TranslateAndHelpArguments) {
  E2eWorld w;
  EXPECT_EQ(w.RunHeadless({"--translate"}).exitCode, 64);  // with --headless: refused
  ToolResult help = w.RunHeadless({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.output.find("update --translate"), std::string::npos) << help.output;
}
