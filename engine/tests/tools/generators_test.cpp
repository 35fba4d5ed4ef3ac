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

// The generator command lines the build wrote: program and arguments, tab-separated, one a line;
// "@FILES@" in an argument stands for the Files/ folder.
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
  ASSERT_GE(commands.size(), 3u) << "no generator list from the build";  // the engine's own three at least
  TempDir dir;
  fs::create_directories(dir.path() + "/Common/licences");
  for (const auto& words : commands) {
    std::string command = Quoted(words[0]);
    for (size_t i = 1; i < words.size(); ++i) {
      std::string arg = words[i];
      if (arg.rfind("@FILES@", 0) == 0) {
        arg = dir.path() + arg.substr(7);
        fs::create_directories(arg);  // a game's folder, for its generators
      } else if (i > 1) {
        fs::create_directories(dir.path() + "/" + arg);  // a game folder named after the Files/ folder
      }
      command += " " + Quoted(arg);
    }
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
  EXPECT_GE(compared, 4);  // at least the engine's own: icons, logos, jingle
}

TEST(FilesTree, HoldsEveryFileTheLoadersAskFor) {
  std::vector<std::string> files = {
      "Common/SVBasicManual.ttf", "Common/November.ttf", "Common/Blue Highway.ttf",
      "Common/Acknowledge TT BRK.ttf", "Common/icons.png", "Common/logo.png", "Common/Quobble.png",
      "Common/open.ogg", "Common/licences/fonts.txt"};
  for (const std::string& f : files) EXPECT_TRUE(fs::is_regular_file(FilesDir() + "/" + f)) << f;
}
