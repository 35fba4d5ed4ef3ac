#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/core.h"
#include "support/test_support.h"

TEST(TextFiles, WriteCrLfAndReadBackDroppingCr) {
  TempDir dir;
  ASSERT_TRUE(WriteTextFileAtomic(dir.file("a.txt"), {"one", "", "tw\xE9"}));
  EXPECT_EQ(ReadFile(dir.file("a.txt")), "one\r\n\r\ntw\xE9\r\n");
  WriteFile(dir.file("b.txt"), "x\r\ny\nlast");
  std::vector<std::string> lines;
  ASSERT_TRUE(ReadTextLines(dir.file("b.txt"), lines));
  EXPECT_EQ(lines, (std::vector<std::string>{"x", "y", "last"}));
  EXPECT_FALSE(ReadTextLines(dir.file("missing.txt"), lines));
  EXPECT_TRUE(lines.empty());
}

TEST(TextFiles, AFailedWriteLeavesTheOldFileWhole) {
  TempDir dir;
  ASSERT_TRUE(WriteTextFileAtomic(dir.file("s.ini"), {"old"}));
  // A folder where the temporary file should go makes the write fail, even for root.
  ::mkdir(dir.file("s.ini.tmp").c_str(), 0755);
  EXPECT_FALSE(WriteTextFileAtomic(dir.file("s.ini"), {"new"}));
  EXPECT_EQ(ReadFile(dir.file("s.ini")), "old\r\n");
}

// Only plain files are replaced: a link is followed (the file it names is written, the link stays),
// and a device or a folder at the path is left as it is.
TEST(TextFiles, ALinkIsFollowedAndADeviceOrFolderIsNeverReplaced) {
  TempDir dir;
  ASSERT_TRUE(WriteTextFileAtomic(dir.file("real.ini"), {"old"}));
  ASSERT_EQ(::symlink(dir.file("real.ini").c_str(), dir.file("link.ini").c_str()), 0);
  ASSERT_TRUE(WriteTextFileAtomic(dir.file("link.ini"), {"new"}));
  struct stat st;
  ASSERT_EQ(::lstat(dir.file("link.ini").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(ReadFile(dir.file("real.ini")), "new\r\n");
  EXPECT_FALSE(WriteTextFileAtomic("/dev/null", {"x"}));
  ASSERT_EQ(::stat("/dev/null", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));
  EXPECT_FALSE(FileExists("/dev/null.tmp"));
  EXPECT_FALSE(WriteTextFileAtomic(dir.path(), {"x"}));
}

TEST(TextFiles, AWriteToAMissingFolderFailsCleanly) {
  TempDir dir;
  EXPECT_FALSE(WriteTextFileAtomic(dir.file("no/such/folder/s.ini"), {"x"}));
}

TEST(DebugLog, WritesEightBitLinesEndedByCrLfAndTruncatesAtOpen) {
  TempDir dir;
  WriteFile(dir.file("Debug.txt"), "stale content\r\n");
  ASSERT_TRUE(OpenDebugLog(dir.file("Debug.txt")));
  DebugLine("Loading");
  DebugLine("\tSFX(4)");
  DebugLine("\xA7");
  CloseDebugLog();
  DebugLine("after closing: not written");
  EXPECT_EQ(ReadFile(dir.file("Debug.txt")), "Loading\r\n\tSFX(4)\r\n\xA7\r\n");
  EXPECT_FALSE(OpenDebugLog(dir.file("no/such/Debug.txt")));
  DebugLine("no log: nothing happens");
}
