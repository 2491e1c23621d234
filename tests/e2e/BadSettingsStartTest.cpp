// `update --headless` started on settings files that are not files: it
// once aborted (a directory), blocked for ever (a FIFO) or read until
// memory ran out (/dev/zero). Each now ends like a missing file, naming
// the file and the reason in both languages.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "tests/e2e/E2eWorld.h"

namespace {

void Replace(E2eWorld& w, const std::string& name, const std::string& kind) {
  const std::string path = w.Dir().File(name);
  std::filesystem::remove(path);
  int made = -1;
  if (kind == "directory") made = mkdir(path.c_str(), 0755);
  if (kind == "FIFO") made = mkfifo(path.c_str(), 0600);
  if (kind == "character device") made = symlink("/dev/zero", path.c_str());
  ASSERT_EQ(made, 0) << kind;
}

}  // namespace

TEST(HeadlessStart, SettingsFilesThatAreNotFilesEndLikeMissingOnes) {
  for (const std::string kind : {"directory", "FIFO", "character device"}) {
    E2eWorld w;
    w.WriteProgDeviceIni({DeviceBlockSpec{}});
    Replace(w, "Update.ini", kind);
    ToolResult r = w.RunHeadless({}, 30);
    EXPECT_FALSE(r.timedOut) << kind;
    EXPECT_EQ(r.exitCode, 2) << kind;
    const std::string german = kind == "directory" ? "ein Verzeichnis"
                               : kind == "FIFO"    ? "eine FIFO"
                                                   : "ein Ger\xC3\xA4t";
    EXPECT_EQ(r.output,
              "[Error]\nKonfigurationsdatei 1 (Update.ini) ist keine gew\xC3\xB6hnliche "
              "Datei, sondern " +
                  german +
                  "\nConfiguration file 1 (Update.ini) is not "
                  "a regular file but a " +
                  kind + "!!Programm wird beendet\n");

    std::filesystem::remove(w.Dir().File("Update.ini"));
    w.WriteUpdateIni(1);
    Replace(w, "ProgDevice.ini", kind);
    r = w.RunHeadless({}, 30);
    EXPECT_FALSE(r.timedOut) << kind;
    EXPECT_EQ(r.exitCode, 2) << kind;
    EXPECT_NE(r.output.find("Configuration file 2 (ProgDevice.ini) is not a regular file but a " +
                            kind + "!!Programm wird beendet\n"),
              std::string::npos)
        << r.output;
  }
}

TEST(HeadlessStart, HugeNumbersAreBadArguments) {
  E2eWorld w;
  EXPECT_EQ(w.RunHeadless({"--delay-divisor", "99999999999999999999999"}).exitCode, 64);
}
