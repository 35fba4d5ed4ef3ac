#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <thread>

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

TEST(TextFiles, AFailedWriteLeavesTheOldFileWholeAndNoTemporaryFile) {
  TempDir dir;
  ASSERT_TRUE(WriteTextFileAtomic(dir.file("s.ini"), {"old"}));
  {
    FileSizeLimit full(2);  // as on a full disk: the new content cannot be written
    EXPECT_FALSE(WriteTextFileAtomic(dir.file("s.ini"), {"new"}));
  }
  EXPECT_FALSE(WriteFileAtomic(dir.file("s.ini"), [](std::FILE*) { return false; }));
  EXPECT_EQ(ReadFile(dir.file("s.ini")), "old\r\n");
  EXPECT_EQ(FolderEntries(dir.path()), (std::vector<std::string>{"s.ini"}));
}

// Another user of a shared folder may plant a link at the name the temporary file once had: the
// write must not go through it.
TEST(TextFiles, ALinkPlantedAtTheTemporaryNameIsNotFollowed) {
  TempDir dir;
  WriteFile(dir.file("victim"), "precious");
  ASSERT_EQ(::symlink(dir.file("victim").c_str(), dir.file("s.ini.tmp").c_str()), 0);
  ASSERT_TRUE(WriteTextFileAtomic(dir.file("s.ini"), {"new"}));
  EXPECT_EQ(ReadFile(dir.file("victim")), "precious");
  EXPECT_EQ(ReadFile(dir.file("s.ini")), "new\r\n");
}

TEST(TextFiles, TwoWritersAtOnceLeaveOneWholeFile) {
  TempDir dir;
  const std::string path = dir.file("nuscores.dat");
  const std::vector<std::string> a(2000, std::string(100, 'a')), b(3000, std::string(100, 'b'));
  int failures = 0;
  std::thread other([&] {
    for (int i = 0; i < 40; ++i) failures += !WriteTextFileAtomic(path, b);
  });
  for (int i = 0; i < 40; ++i) failures += !WriteTextFileAtomic(path, a);
  other.join();
  EXPECT_EQ(failures, 0);
  const std::vector<std::string> got = ReadLines(path);
  EXPECT_TRUE(got == a || got == b) << got.size() << " lines";
  EXPECT_EQ(FolderEntries(dir.path()), (std::vector<std::string>{"nuscores.dat"}));
}

TEST(TextFiles, TheNewFileKeepsTheModeOfTheOneItReplaces) {
  TempDir dir;
  const mode_t oldMask = ::umask(022);
  struct stat st;
  ASSERT_TRUE(WriteTextFileAtomic(dir.file("secret"), {"x"}, 0600));
  ASSERT_EQ(::stat(dir.file("secret").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  ASSERT_TRUE(WriteTextFileAtomic(dir.file("plain"), {"x"}));
  ASSERT_EQ(::stat(dir.file("plain").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0644u);
  ::chmod(dir.file("plain").c_str(), 0640);
  ASSERT_TRUE(WriteTextFileAtomic(dir.file("plain"), {"y"}, 0600));
  ASSERT_EQ(::stat(dir.file("plain").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  ::umask(077);
  ASSERT_TRUE(WriteTextFileAtomic(dir.file("masked"), {"x"}));
  ASSERT_EQ(::stat(dir.file("masked").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  ::umask(oldMask);
}

// Leftovers of killed writes are removed beside the file that is really written (a link's target),
// old-style and new-style alike; a folder at such a name, and the temporary file of a program that
// is still running, stay.
TEST(TextFiles, LeftoversOfKilledWritesAreRemovedBesideTheRealFile) {
  TempDir dir;
  ::mkdir(dir.file("data").c_str(), 0755);
  ::mkdir(dir.file("links").c_str(), 0755);
  WriteFile(dir.file("data/s.ini"), "x");
  ASSERT_EQ(::symlink(dir.file("data/s.ini").c_str(), dir.file("links/s.ini").c_str()), 0);
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ::waitpid(child, nullptr, 0);  // a process id that is gone
  const std::string dead = ".tmp." + std::to_string(child) + ".0123456789abcdef";
  const std::string alive = ".tmp." + std::to_string(::getppid()) + ".0123456789abcdef";
  for (const std::string& name : std::vector<std::string>{"data/s.ini.tmp", "data/s.ini" + dead, "data/s.ini" + alive, "links/s.ini.tmp",
                                  "data/other.ini.tmp"})
    WriteFile(dir.file(name), "half");
  const std::string folder = "s.ini.tmp." + std::to_string(child) + ".folder";
  ::mkdir(dir.file("data/" + folder).c_str(), 0755);
  RemoveLeftoverTemp(dir.file("links/s.ini"));
  std::vector<std::string> kept{"other.ini.tmp", "s.ini", "s.ini" + alive, folder};
  std::sort(kept.begin(), kept.end());
  EXPECT_EQ(FolderEntries(dir.file("data")), kept);
  EXPECT_EQ(FolderEntries(dir.file("links")), (std::vector<std::string>{"s.ini", "s.ini.tmp"}));
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
