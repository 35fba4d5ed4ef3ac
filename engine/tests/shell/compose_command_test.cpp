#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <cstring>
#include <filesystem>

#include "audio/audio.h"
#include "core/core.h"
#include "shell/shell.h"
#include "support/test_support.h"

namespace {

// A 16-bit mono WAVE file of a decaying tone.
void WriteTone(const std::string& path, double hz, double seconds) {
  const int rate = 22050, frames = static_cast<int>(rate * seconds);
  std::string b = "RIFF";
  auto le = [&](uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) b += static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  le(36 + 2 * frames, 4);
  b += "WAVEfmt ";
  le(16, 4), le(1, 2), le(1, 2), le(rate, 4), le(2 * rate, 4), le(2, 2), le(16, 2);
  b += "data";
  le(2 * frames, 4);
  for (int i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / rate;
    le(static_cast<uint16_t>(static_cast<int16_t>(20000 * std::exp(-8 * t) * std::sin(2 * M_PI * hz * t))), 2);
  }
  WriteFile(path, b);
}

// The command's arguments as the command line gives them.
ComposeOptions Parse(std::vector<std::string> args) {
  args.insert(args.begin(), "tessel-probe");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  ComposeOptions o;
  for (int i = 1; i < static_cast<int>(argv.size()); ++i)
    EXPECT_TRUE(TakeComposeArgument(static_cast<int>(argv.size()), argv.data(), i, o)) << args[i];
  return o;
}

}  // namespace

TEST(ComposeArguments, AreCheckedWhole) {
  const ComposeOptions ok = Parse({"--compose", "theme", "238", "--wav", "out.wav", "--seconds", "20", "--tempo", "250"});
  EXPECT_EQ(ComposeArgumentError(ok), "");
  EXPECT_TRUE(ok.Wanted);
  EXPECT_EQ(ok.Name, "theme");
  EXPECT_EQ(ok.Seed, 238);
  EXPECT_EQ(ok.WavFile, "out.wav");
  EXPECT_EQ(ok.Seconds, 20);
  EXPECT_EQ(ok.Tempo, 250);
  const ComposeOptions plain = Parse({"--compose", "theme", "-1"});
  EXPECT_EQ(ComposeArgumentError(plain), "");
  EXPECT_EQ(plain.Seed, -1);
  EXPECT_EQ(plain.Tempo, ComposeDefaultTempo);
  EXPECT_EQ(plain.Seconds, 0);

  struct Case {
    std::vector<std::string> args;
    const char* says;
  } bad[] = {
      {{"--compose", "theme"}, "needs a NAME and a SEED"},
      {{"--compose", "theme", "23x"}, "SEED"},
      {{"--compose", "theme", "99999999999"}, "SEED"},
      {{"--compose", "../../Setup", "1"}, "without folders"},
      {{"--compose", "", "1"}, "without folders"},
      {{"--compose", "theme", "1", "--seconds", "0"}, "--seconds takes"},
      {{"--compose", "theme", "1", "--seconds", "3601"}, "--seconds takes"},
      {{"--compose", "theme", "1", "--tempo", "-5"}, "--tempo takes"},
      {{"--compose", "theme", "1", "--wav"}, "--wav needs a FILE"},
      {{"--wav", "out.wav"}, "go with --compose"},
      {{"--seconds", "5"}, "go with --compose"},
  };
  for (const Case& c : bad) {
    const std::string error = ComposeArgumentError(Parse(c.args));
    EXPECT_NE(error.find(c.says), std::string::npos) << c.args.back() << ": " << error;
  }

  std::string other = "--files";
  std::vector<char*> argv = {other.data()};
  ComposeOptions o;
  int i = 0;
  EXPECT_FALSE(TakeComposeArgument(1, argv.data(), i, o));  // not the composer's
}

class ComposeCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetAllState();
    files = dir.file("Files");
    std::filesystem::create_directories(files + "/900/music");
    const double hz[] = {55, 110, 220, 330, 440, 660, 880, 1320};
    for (int n = 1; n <= 8; ++n) {
      WriteTone(files + "/900/music/d1-" + std::to_string(n) + ".wav", hz[n - 1], 0.15);
      WriteTone(files + "/900/music/d2-" + std::to_string(n) + ".wav", hz[8 - n], 0.1);
    }
    for (const char* name : {"bass1", "lead1", "lead2", "accompany1"}) WriteTone(files + "/900/music/" + name + ".wav", 262, 0.5);
    WriteFile(files + "/900/music/t.ini",
              "[DRUMS]\n\"1323132313231325\"\n\"5 3 5 3 6 7 \"\n[CHORDS]\n\"nrqtnrqt\"\n\"nwen\"\n[BASS]\nSTRETCH=RANDOM\n"
              "\"q q i q \"\n[MELODY]\nSTRETCH=RANDOM+\n\"i7t3rtq \"\n\"t 3 t7i\"\n[ACCOMPANY]\nSTRETCH=DOUBLE\n\"q3t3\"\n");
  }

  // Renders music/t.ini with seed into the file; the exit status.
  int Render(const std::string& wav, int64_t seed, int seconds = 2, const std::string& name = "t") {
    ResetAllState();
    ComposeOptions o;
    o.Wanted = true;
    o.Name = name;
    o.Seed = seed;
    o.WavFile = wav;
    o.Seconds = seconds;
    return RunCompose(o, files);
  }

  TempDir dir;
  std::string files;
};

TEST_F(ComposeCommandTest, RendersTheSameFileForTheSameSeed) {
  ASSERT_EQ(Render(dir.file("a.wav"), 238), 0);
  ASSERT_EQ(Render(dir.file("b.wav"), 238), 0);
  ASSERT_EQ(Render(dir.file("c.wav"), 239), 0);
  const std::string a = ReadFile(dir.file("a.wav"));
  EXPECT_EQ(a, ReadFile(dir.file("b.wav")));
  EXPECT_NE(a, ReadFile(dir.file("c.wav")));

  // A 16-bit stereo 44 100 Hz PCM file of exactly the seconds asked for.
  ASSERT_EQ(a.size(), 44u + 2 * 44100 * 4);
  auto le = [&](size_t at, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(a[at + i]);
    return v;
  };
  EXPECT_EQ(a.substr(0, 4), "RIFF");
  EXPECT_EQ(le(4, 4), a.size() - 8);
  EXPECT_EQ(a.substr(8, 8), "WAVEfmt ");
  EXPECT_EQ(le(20, 2), 1u);      // PCM
  EXPECT_EQ(le(22, 2), 2u);      // stereo
  EXPECT_EQ(le(24, 4), 44100u);
  EXPECT_EQ(le(34, 2), 16u);
  EXPECT_EQ(a.substr(36, 4), "data");
  EXPECT_EQ(le(40, 4), a.size() - 44);

  // Not silent: sound after the quarter second before the first step, and both sides differ (panned).
  double sum = 0, difference = 0;
  const size_t frames = (a.size() - 44) / 4;
  for (size_t f = 0; f < frames; ++f) {
    const auto left = static_cast<int16_t>(le(44 + 4 * f, 2)), right = static_cast<int16_t>(le(46 + 4 * f, 2));
    if (f < 44100 / 4) {
      EXPECT_EQ(left, 0);
    }
    sum += static_cast<double>(left) * left + static_cast<double>(right) * right;
    difference += std::abs(left - right);
  }
  EXPECT_GT(std::sqrt(sum / (2.0 * frames)), 500.0);
  EXPECT_GT(difference, 0);

  // A name relative to where the command was given; 30 seconds unless told.
  ASSERT_TRUE(ChangeDir(dir.path()));
  ASSERT_EQ(Render("rel.wav", 238, 0), 0);
  EXPECT_EQ(ReadFile(dir.file("rel.wav")).size(), 44u + 30 * 44100 * 4);
}

TEST_F(ComposeCommandTest, AFailedRenderLeavesNothingBehind) {
  WriteFile(dir.file("old.wav"), "an older file");
  EXPECT_EQ(Render(dir.file("old.wav"), 1, 2, "missing"), 1);  // no such music file
  EXPECT_EQ(ReadFile(dir.file("old.wav")), "an older file");
  EXPECT_EQ(Render(dir.file("nowhere/out.wav"), 1), 1);  // no such folder
  std::filesystem::create_directory(dir.file("taken.wav"));
  EXPECT_EQ(Render(dir.file("taken.wav"), 1), 1);  // a folder in the way
  EXPECT_TRUE(std::filesystem::is_directory(dir.file("taken.wav")));
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) left.push_back(entry.path().filename());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"Files", "old.wav", "taken.wav"}));
}
