#include "support/test_support.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "audio/audio.h"
#include "core/core.h"
#include "display/display.h"
#include "input/input.h"
#include "online/online.h"
#include "render/render.h"
#include "scores/scores.h"
#include "settings/settings.h"
#include "shell/shell.h"

void ResetAllState(uint32_t startMs) {
  ResetCoreState();
  ResetInputState();
  ResetRenderState();
  ResetAudioState();
  ResetDisplayState();
  ResetScoresState();
  ResetOnlineState();
  if (const std::string missing = UseGame(TestedGame()); !missing.empty()) {
    std::fprintf(stderr, "The tested game is not complete: %s\n", missing.c_str());
    std::abort();
  }
  ThisGame().ResetState();
  ResetSettingsState();
  ResetShellState();
  Hooks = ProgramHooks{};
  Hooks.EndProcess = [](int status) { throw ProgramExit{status}; };
  UseFakeClock(startMs);
  Input.EventScript = [] {};
  Input.JoystickScript.emplace();  // no joysticks unless a test scripts some
  Audio.DeviceOutput = false;      // FreeMix stays silent, its voices kept in time by the fake clock
}

TempDir::TempDir() : oldCwd_(CurrentDir()) {
  std::string pattern = (std::filesystem::temp_directory_path() / "vq-test-XXXXXX").string();
  path_ = ::mkdtemp(pattern.data()) ? pattern : std::string();
}

TempDir::~TempDir() {
  if (!oldCwd_.empty()) ChangeDir(oldCwd_);
  std::error_code ec;
  if (!path_.empty()) {
    // Files made read-only by a test are made writable again so they can be removed.
    for (auto& entry : std::filesystem::recursive_directory_iterator(path_, ec))
      std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ec);
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
  }
}

FileSizeLimit::FileSizeLimit(long limitBytes) {
  rlimit limit{};
  ::getrlimit(RLIMIT_FSIZE, &limit);
  oldSoft_ = limit.rlim_cur;
  limit.rlim_cur = static_cast<rlim_t>(limitBytes);
  oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);  // a write past the limit then fails with EFBIG
  ::setrlimit(RLIMIT_FSIZE, &limit);
}

FileSizeLimit::~FileSizeLimit() {
  rlimit limit{};
  ::getrlimit(RLIMIT_FSIZE, &limit);
  limit.rlim_cur = static_cast<rlim_t>(oldSoft_);
  ::setrlimit(RLIMIT_FSIZE, &limit);
  std::signal(SIGXFSZ, oldHandler_);
}

std::vector<std::string> FolderEntries(const std::string& path) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(path, ec)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

bool HaveDisplay() {
  const char* display = std::getenv("DISPLAY");
  return display && *display;
}

std::vector<std::string> ReadLines(const std::string& path) {
  std::vector<std::string> lines;
  ReadTextLines(path, lines);
  return lines;
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}
