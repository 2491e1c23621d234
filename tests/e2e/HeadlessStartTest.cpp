#include <gtest/gtest.h>

#include "tests/e2e/E2eWorld.h"

TEST(HeadlessStart, MissingSettingsFilesEndTheProgramWithStatusTwo) {
  E2eWorld w;
  ToolResult r = w.RunHeadless({});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.output, "[Error]\nKonfigurationsdatei 1 nicht vorhanden!!Programm wird beendet\n");

  w.WriteUpdateIni(1);
  r = w.RunHeadless({});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.output, "[Error]\nKonfigurationsdatei 2 nicht vorhanden!!Programm wird beendet\n");
}

TEST(HeadlessStart, StartTextInTheChosenLanguageWithLineBreaks) {
  E2eWorld w;
  w.WriteProgDeviceIni({DeviceBlockSpec{}});
  w.Dir().Write("ProgDevice.ini", w.Dir().Read("ProgDevice.ini") + "\r\n" +
                                      "StarttextD=Bitte das NAME anschliessen.\\rDann OK.\r\n"
                                      "StarttextE=Please connect the NAME.\\rThen OK.\r\n"
                                      "AbbruchtextD=x\r\nAbbruchtextE=y\r\n");
  w.WriteUpdateIni(1);
  ToolResult r = w.RunHeadless({"--delay-divisor", "50"});
  EXPECT_EQ(r.output.rfind("Please connect the device.\nThen OK.\n", 0), 0u) << r.output;

  w.WriteUpdateIni(0);
  r = w.RunHeadless({"--delay-divisor", "50"});
  EXPECT_EQ(r.output.rfind("Bitte das Ger\xC3\xA4t anschliessen.\nDann OK.\n", 0), 0u) << r.output;
}

TEST(HeadlessStart, BadArgumentsGiveStatus64) {
  E2eWorld w;
  EXPECT_EQ(w.RunHeadless({"--answer", "maybe"}).exitCode, 64);
  EXPECT_EQ(w.RunHeadless({"--delay-divisor", "0"}).exitCode, 64);
  EXPECT_EQ(w.RunHeadless({"--frobnicate"}).exitCode, 64);
}
