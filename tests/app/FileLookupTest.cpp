// Firmware names from settings written for a case-blind file system.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/FileLookup.h"
#include "tests/support/TempDir.h"

TEST(FileLookup, ExactNameFirstThenTheFirstNameEqualIgnoringCase) {
  TempDir dir;
  dir.Write("L3_TermL.A37", "a");
  dir.Write("l3_terml.A37", "b");
  EXPECT_EQ(FindFileInFolder(dir.path(), "l3_terml.A37"), dir.File("l3_terml.A37"));
  // Both differ in case from this name: byte order picks the upper-case one.
  EXPECT_EQ(FindFileInFolder(dir.path(), "l3_terml.a37"), dir.File("L3_TermL.A37"));
  EXPECT_EQ(FindFileInFolder(dir.path(), "L3_TermH.A37"), "");
  EXPECT_EQ(FindFileInFolder(dir.path() + "/missing", "L3_TermL.A37"), "");
}

TEST(FileLookup, FoldersAreNotFiles) {
  TempDir dir;
  std::filesystem::create_directory(dir.File("sub"));
  EXPECT_EQ(FindFileInFolder(dir.path(), "SUB"), "");
  EXPECT_EQ(FindFileInFolder(dir.path(), "sub"), "");
}
