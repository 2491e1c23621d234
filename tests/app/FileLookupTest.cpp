// File names from settings written for a Windows share, looked up on Linux.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/FileLookup.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

TEST(FileLookup, FindsTheNameOnDiskWhateverItsCaseAndFolderSeparator) {
  TempDir dir;
  fs::create_directories(dir.File("Programs/Sub"));
  dir.Write("PH812Q.MOT", "a");
  dir.Write("Programs/Sub/Start.EXE", "b");
  struct Case {
    const char* asked;
    const char* onDisk;
  } cases[] = {
      {"PH812Q.MOT", "PH812Q.MOT"},
      {"ph812q.mot", "PH812Q.MOT"},
      {"programs\\sub\\start.exe", "Programs/Sub/Start.EXE"},
      {"PROGRAMS/SUB/START.EXE", "Programs/Sub/Start.EXE"},
      {"Programs\\\\Sub\\start.exe", "Programs/Sub/Start.EXE"},
  };
  for (const Case& c : cases) {
    const FileLookupResult r = LookUpFile(dir.path(), c.asked);
    ASSERT_TRUE(r.found()) << c.asked;
    EXPECT_EQ(r.nameOnDisk, c.onDisk) << c.asked;
    EXPECT_EQ(r.path, dir.File(c.onDisk)) << c.asked;
  }
}

TEST(FileLookup, RefusesNamesThatDifferOnlyInCaseNamingBoth) {
  TempDir dir;
  dir.Write("L3_TermL.A37", "a");
  dir.Write("l3_terml.A37", "b");
  // Even the exact spelling: which of the two the delivery meant is unknown.
  for (const char* asked : {"l3_terml.a37", "l3_terml.A37"}) {
    const FileLookupResult r = LookUpFile(dir.path(), asked);
    EXPECT_EQ(r.outcome, LookupOutcome::Ambiguous) << asked;
    EXPECT_EQ(r.clashing,
              (std::vector<std::string>{dir.File("L3_TermL.A37"), dir.File("l3_terml.A37")}));
    EXPECT_EQ(FindFileInFolder(dir.path(), asked), "");
  }
}

TEST(FileLookup, MissingFilesFoldersAndNamesThatAreFolders) {
  TempDir dir;
  fs::create_directory(dir.File("sub"));
  dir.Write("sub/file.txt", "x");
  for (const char* asked : {"L3_TermH.A37", "SUB", "sub", "nosub\\file.txt", "", "\\"})
    EXPECT_EQ(LookUpFile(dir.path(), asked).outcome, LookupOutcome::Missing) << asked;
  EXPECT_EQ(FindFileInFolder(dir.path() + "/missing", "file.txt"), "");
  EXPECT_TRUE(LookUpFile(dir.path(), "SUB", /*wantFolder=*/true).found());
}
