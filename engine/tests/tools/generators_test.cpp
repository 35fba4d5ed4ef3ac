// The generators are deterministic: run again, each writes exactly the bytes the build put in the
// tree. And the tree holds every file the loaders ask for.
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "decode.h"
#include "support/test_support.h"

namespace fs = std::filesystem;

namespace {

// The generator command lines the build wrote: program and arguments, tab-separated, one a line.
std::vector<std::vector<std::string>> GeneratorCommands() {
  const char* build = std::getenv("VQ_BUILD_DIR");
  std::ifstream in(std::string(build ? build : ".") + "/tools/generators.txt");
  std::vector<std::vector<std::string>> commands;
  std::string line;
  while (std::getline(in, line)) {
    std::vector<std::string> words;
    std::stringstream parts(line);
    std::string word;
    while (std::getline(parts, word, '\t')) words.push_back(word);
    if (!words.empty()) commands.push_back(words);
  }
  return commands;
}

std::string Quoted(const std::string& s) { return "'" + s + "'"; }

}  // namespace

TEST(Generators, RunAgainEachWritesTheSameBytesAsTheBuild) {
  const auto commands = GeneratorCommands();
  ASSERT_GE(commands.size(), 6u) << "no generator list from the build";
  TempDir dir;
  fs::create_directories(dir.path() + "/Common/licences");
  fs::create_directories(dir.path() + "/278/music");
  for (const auto& words : commands) {
    std::string command = Quoted(words[0]) + " " + Quoted(dir.path());
    for (size_t i = 1; i < words.size(); ++i) command += " " + Quoted(words[i]);
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command;
  }
  int compared = 0;
  for (const auto& entry : fs::recursive_directory_iterator(dir.path())) {
    if (!entry.is_regular_file()) continue;
    const std::string relative = fs::relative(entry.path(), dir.path()).string();
    EXPECT_TRUE(ReadBytes(entry.path().string()) == ReadBytes(FilesDir() + "/" + relative))
        << relative << " differs from the build's";
    ++compared;
  }
  EXPECT_GE(compared, 40);
}

TEST(FilesTree, HoldsEveryFileTheLoadersAskFor) {
  std::vector<std::string> files = {
      "Common/SVBasicManual.ttf", "Common/November.ttf", "Common/Blue Highway.ttf",
      "Common/Acknowledge TT BRK.ttf", "Common/icons.png", "Common/logo.png", "Common/Quobble.png",
      "Common/open.ogg", "278/badges.png", "278/logo.png", "278/font.png", "278/loop.ogg",
      "278/002.wav", "278/004.wav", "278/005.wav", "278/098.wav", "278/099.wav", "278/music/theme.ini"};
  for (const std::string& f : files) EXPECT_TRUE(fs::is_regular_file(FilesDir() + "/" + f)) << f;
}
