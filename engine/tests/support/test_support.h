// Helpers shared by the tests: fresh program state, temporary folders, and a window for the tests
// that draw.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/core.h"

// Thrown in place of the process exit while a test runs the program in-process.
struct ProgramExit {
  int status;
};

// Gives every folder a fresh state instance, a fake clock at startMs, an empty event script, no
// joysticks (scripted) and no audio device; Hooks.EndProcess throws ProgramExit.
void ResetAllState(uint32_t startMs = 1000);
// The game the test program runs (and ResetAllState makes the program's game and resets): the
// test game for the engine's tests, the game itself for a game's tests.
const GameDefinition& TestedGame();

// A temporary folder, removed with its content when the object goes; the working directory is
// restored too.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
  std::string oldCwd_;
};

// While it lives, no file of this process may grow past limitBytes (writes past it fail, as on a
// full disk, for root too); the limit before is restored when it goes.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(long limitBytes);
  ~FileSizeLimit();

 private:
  unsigned long long oldSoft_;
  void (*oldHandler_)(int);
};

// The names of the files in a folder, sorted ("." and ".." left out).
std::vector<std::string> FolderEntries(const std::string& path);

// True when an X display is available. Tests that need one call GTEST_SKIP otherwise, unless
// VQ_REQUIRE_DISPLAY is set (the test script sets it), in which case they fail.
bool HaveDisplay();
#define REQUIRE_DISPLAY()                                                     \
  do {                                                                        \
    if (!HaveDisplay()) {                                                     \
      if (std::getenv("VQ_REQUIRE_DISPLAY")) FAIL() << "no X display";        \
      GTEST_SKIP() << "no X display";                                         \
    }                                                                         \
  } while (0)

// Reads a text file as lines (LF ends a line, CR dropped).
std::vector<std::string> ReadLines(const std::string& path);
// Writes text to a file as it stands.
void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);
