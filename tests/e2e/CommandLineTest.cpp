// The command line as production scripts use it: the version, one-line
// refusals of bad arguments, no window without a display, the path of a
// missing settings file.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/e2e/E2eWorld.h"

namespace {

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

RunOptions Plain(bool headless = false) {
  RunOptions o;
  o.headless = headless;
  o.withStandardError = true;
  o.timeoutSeconds = 30;
  return o;
}

}  // namespace

TEST(CommandLine, VersionNamesTheBuild) {
  E2eWorld w;
  const ToolResult r = w.RunHeadless({"--version"}, Plain());
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.output.rfind("update 1.0.0", 0), 0u) << r.output;
  EXPECT_EQ(std::count(r.output.begin(), r.output.end(), '\n'), 1) << r.output;
}

TEST(CommandLine, ABadArgumentIsOneLineNamingItWithStatus64) {
  struct Case {
    std::vector<std::string> args;
    bool headless;
    std::string names;
  } cases[] = {
      {{"--frobnicate"}, true, "--frobnicate"},
      {{"--answer=maybe"}, true, "--answer"},
      {{"--port"}, true, "--port"},
      {{"--port", "/dev/no-such-port"}, false, "/dev/no-such-port"},
      {{"--delivery=/no/such/folder"}, true, "/no/such/folder"},
      {{"--trace"}, false, "--trace"},
  };
  for (const Case& c : cases) {
    E2eWorld w;
    const ToolResult r = w.RunHeadless(c.args, Plain(c.headless));
    EXPECT_EQ(r.exitCode, 64) << c.names;
    EXPECT_EQ(std::count(r.output.begin(), r.output.end(), '\n'), 1) << r.output;
    EXPECT_TRUE(Has(r.output, c.names)) << r.output;
    EXPECT_TRUE(Has(r.output, "see update --help")) << r.output;
  }
}

TEST(CommandLine, WithoutADisplayTheWindowIsNotAttempted) {
  E2eWorld w;
  w.PrepareExternalDelivery(0);
  RunOptions o = Plain();
  o.unset = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
  const ToolResult r = w.RunHeadless({}, o);
  EXPECT_EQ(r.exitCode, 2) << r.output;
  EXPECT_TRUE(Has(r.output, "use --headless or set a display")) << r.output;
}

TEST(CommandLine, HeadlessStartWithoutSettingsNamesTheMissingFile) {
  E2eWorld w;
  ToolResult r = w.RunHeadless({}, Plain(true));
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_TRUE(Has(r.output, "Konfigurationsdatei 1 nicht vorhanden!!Programm wird beendet"));
  EXPECT_TRUE(Has(r.output, "update: Datei fehlt / file missing: " + w.Folder() + "/Update.ini\n"))
      << r.output;
}

TEST(CommandLine, ListPortsTakesHeadlessAndPort) {
  E2eWorld w;
  w.Dir().Write("not-a-tty", "");
  const ToolResult r =
      w.RunHeadless({"--list-ports", "--port", w.Dir().File("not-a-tty")}, Plain(true));
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_EQ(r.output.rfind("COM1\t" + w.Dir().File("not-a-tty"), 0), 0u) << r.output;
  EXPECT_EQ(std::count(r.output.begin(), r.output.end(), '\n'), 1) << r.output;
}
