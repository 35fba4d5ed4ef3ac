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
