#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "audio/audio.h"
#include "core/core.h"
#include "input/input.h"
#include "shell/shell.h"
#include "support/test_support.h"

class SetupFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetAllState();
    SetDefaultSetupValues();
    SetDefaultControls();
    Audio.DriverList = {"FreeMix", "OpenAL Default", "OpenAL Generic Software"};
    ASSERT_TRUE(OpenDebugLog(dir.file("Debug.txt")));
  }
  void TearDown() override { CloseDebugLog(); }
  void Read(const std::string& content) {
    WriteFile(dir.file("Setup.ini"), content);
    ReadSetup(dir.file("Setup.ini"));
  }
  std::vector<std::string> Log() {
    CloseDebugLog();
    return ReadLines(dir.file("Debug.txt"));
  }
  TempDir dir;
};

TEST_F(SetupFileTest, LinesAndTheirEffect) {
  struct Case {
    const char* content;
    int entry, value;
  } cases[] = {
      {"fullscreen=on\n", SetupFullscreen, 1},
      {"Fullscreen = True\nFullscreen = False\n", SetupFullscreen, 1},  // only switches on
      {"Fullscreen = yes\n", SetupFullscreen, 0},
      {"GFX Engine = OpenGL\n", SetupEngine, 0},
      {"GfxEngine = dx7\n", SetupEngine, 2},
      {"GFX Engine = DX9\n", SetupEngine, 1},
      {"ESS=0\n", SetupESS, 1},  // only the key counts
      {"Width=-1024\n", SetupWidth, 1024},
      {"Width=$400\n", SetupWidth, 1024},
      {"height = %1001011000\n", SetupHeight, 600},
      {"Width=-99999999999\n", SetupWidth, 2147483647},
      {"Width=abc\n", SetupWidth, 0},
      {"Width = 1280 = 1024\n", SetupWidth, 1280},  // the value ends at a second "="
      {"Master = 150\n", SetupMaster, 150},        // not bounded here
      {"Sound = -20\n", SetupSound, 20},
      {"Music=0\n", SetupMusic, 0},
      {"; Width=1\n[Graphics]\n\n", SetupWidth, 800},  // comments and headers match no key
      {"Width\n", SetupWidth, 0},                     // a bare key has no value: it reads as 0
      {"AudioDriver = OpenAL Default\n", SetupAudioDriver, 1},
      {"AudioDriver = openal default\n", SetupAudioDriver, 0},  // exact match only
      {"AudioDriver = Missing\n", SetupAudioDriver, 0},
  };
  for (const Case& c : cases) {
    SetDefaultSetupValues();
    Read(c.content);
    EXPECT_EQ(Core.SetupValues[c.entry], c.value) << c.content;
  }
}

TEST_F(SetupFileTest, AnUnknownDriverNameStillSuppressesTheAutomaticChoice) {
  Read("AudioDriver = NoSuchDriver\r\n");
  EXPECT_TRUE(Shell.AudioDriverGiven);
  EXPECT_EQ(Core.SetupValues[SetupAudioDriver], 0);
}

TEST_F(SetupFileTest, KeyLinesFillControlSlots) {
  // Every code differs from the default of its slot, so a line that is not read shows.
  Read("Key=0,65\nKey=100,5\nKey=-12,-70\nKey=99,301\nKey=99999999,5\nKey=8\n");
  EXPECT_EQ(Input.ControlTable[0], 65);   // slot 0 is read like any other
  EXPECT_EQ(Input.ControlTable[12], 70);  // signs dropped from slot and code
  EXPECT_EQ(Input.ControlTable[99], 301);
  EXPECT_EQ(Input.ControlTable[100], 0);  // slot 100 is out of reach of the file
  EXPECT_EQ(Input.ControlTable[8], 0);    // no code: 0, unbound (the default there is Down, 40)
  EXPECT_EQ(Input.ControlTable[3], 37);   // untouched slots keep their defaults
}

TEST_F(SetupFileTest, ReadingLogsWhatItSwitches) {
  Read("Fullscreen = True\nGFX Engine = DX9\nESS=1\n");
  EXPECT_EQ(Log(), (std::vector<std::string>{"\tSetting to Fullscreen", "\tDirectX 9 Mode",
                                             "\tAssuming Emergency Slow System values."}));
}

TEST_F(SetupFileTest, DefaultsAreWrittenInTheirLayout) {
  EXPECT_EQ(SetupFileLines(),
            (std::vector<std::string>{"[Graphics]", "Fullscreen = False", "GFX Engine = OpenGL", "Width=800",
                                      "Height=600", "", "[Audio]", "Master = 50", "Sound = 50", "Music = 50",
                                      "AudioDriver = FreeMix", "; AudioDriver = FreeMix",
                                      "; AudioDriver = OpenAL Default", "; AudioDriver = OpenAL Generic Software",
                                      "", "[Controls]", "Key=0,38", "Key=3,37", "Key=5,39", "Key=8,40",
                                      "Key=10,90", "Key=11,88", "Key=12,67", "Key=13,86"}));
}

TEST_F(SetupFileTest, WhatIsWrittenReadsBackTheSame) {
  auto& v = Core.SetupValues;
  v[SetupFullscreen] = 1;
  v[SetupEngine] = 2;
  v[SetupWidth] = 1600;
  v[SetupHeight] = 900;
  v[SetupESS] = 1;
  v[SetupMaster] = 0;
  v[SetupSound] = 100;
  v[SetupMusic] = 73;
  v[SetupAudioDriver] = 2;
  Input.ControlTable[0] = 0;     // unbound: no line, so the default returns
  Input.ControlTable[21] = 351;  // joystick 2, Y axis up
  Input.ControlTable[100] = 9;   // slot 100 is never written
  Shell.FilesDir = dir.path();
  WriteSetup();
  const auto lines = ReadLines(dir.file("Setup.ini"));
  EXPECT_EQ(lines[5], "ESS=1 ; This is a slow system, and things must run a wee bit slower for it.  Awww..");
  EXPECT_EQ(ReadFile(dir.file("Setup.ini")).find("\r\n"), std::string("[Graphics]").size());

  const auto written = Core.SetupValues;
  const auto controls = Input.ControlTable;
  SetDefaultSetupValues();
  SetDefaultControls();
  ReadSetup(dir.file("Setup.ini"));
  for (int e : {1, 3, 5, 6, 7, 11, 12, 13, 14}) EXPECT_EQ(Core.SetupValues[e], written[e]) << e;
  for (int s = 1; s < 100; ++s) EXPECT_EQ(Input.ControlTable[s], controls[s]) << s;
  EXPECT_EQ(Input.ControlTable[0], 38);
  EXPECT_EQ(Input.ControlTable[100], 0);
}

// Damaged files: every byte reaches the reader (NUL included), nothing outside the lines it names
// changes, and what it keeps is the same as for the clean line.
TEST_F(SetupFileTest, DamagedFilesKeepWhatTheyCanAndNothingElse) {
  using namespace std::string_literals;
  // Consecutive bytes differ by 7919 mod 256, so no run of them spells a key: nothing changes.
  std::string junk;
  for (int i = 0; i < 100000; ++i) junk.push_back(static_cast<char>((i * 7919) % 256));
  struct Case {
    std::string bytes;
    std::vector<std::pair<int, int>> setup;     // entry -> value; every other entry keeps its default
    std::vector<std::pair<int, int>> controls;  // slot -> code; every other slot keeps its default
  } cases[] = {
      {junk, {}, {}},
      {std::string(100000, 'W') + "=" + std::string(100000, '9') + "\n", {}, {}},
      {"Width=" + std::string(100000, '9') + "\n", {{SetupWidth, 2147483647}}, {}},
      {"\0Width=1024\0\n"s, {{SetupWidth, 1024}}, {}},          // NUL trims like a blank
      {"Fullscreen\0=True\n"s, {{SetupFullscreen, 1}}, {}},     // the key ends before the "="
      {"Width=10\0" "24\n"s, {{SetupWidth, 10}}, {}},            // a number stops at the NUL
      {"Wid\0th=1024\n"s, {}, {}},                              // not the key WIDTH
      {"Height=768\n\0\0\0\nMaster=7\n"s, {{SetupHeight, 768}, {SetupMaster, 7}}, {}},  // reading goes on
      {"Key=10\0,32\n"s, {}, {{10, 32}}},
      {"Key=11,\0" "5\n"s, {}, {{11, 5}}},                      // a NUL before a number skips like a blank
      {"=\n==\n=====\n", {}, {}},                               // no key at all
      {"Key=\n", {}, {{0, 0}}},                                 // no slot reads as slot 0, no code as 0
      {"Key=,,,,\n", {}, {{0, 0}}},
      {"Width=1280\r\r\r\nHeight=\r720\n", {{SetupWidth, 1280}, {SetupHeight, 720}}, {}},
  };
  for (const Case& c : cases) {
    SetDefaultSetupValues();
    SetDefaultControls();
    auto setup = Core.SetupValues;
    auto controls = Input.ControlTable;
    for (auto [entry, value] : c.setup) setup[entry] = value;
    for (auto [slot, code] : c.controls) controls[slot] = code;
    Read(c.bytes);
    const std::string shown = c.bytes.substr(0, 40);
    for (size_t e = 0; e < setup.size(); ++e) EXPECT_EQ(Core.SetupValues[e], setup[e]) << "entry " << e << ": " << shown;
    for (size_t k = 0; k < controls.size(); ++k) EXPECT_EQ(Input.ControlTable[k], controls[k]) << "slot " << k << ": " << shown;
  }
}

TEST_F(SetupFileTest, AFailedWriteKeepsTheOldFile) {
  Shell.FilesDir = dir.path();
  WriteFile(dir.file("Setup.ini"), "Width=1024\r\n");
  {
    FileSizeLimit full(4);  // as on a full disk
    WriteSetup();
  }
  EXPECT_EQ(ReadFile(dir.file("Setup.ini")), "Width=1024\r\n");
}

TEST(AudioDriverChoice, FollowsTheNamePrefixes) {
  using V = std::vector<std::string>;
  EXPECT_EQ(ChooseAudioDriver(V{"FreeMix", "OpenAL", "DirectSound"}, false, 0), 2);
  EXPECT_EQ(ChooseAudioDriver(V{"OpenAL", "FreeMix"}, false, 0), 0);
  EXPECT_EQ(ChooseAudioDriver(V{"FreeMix", "OpenAL"}, false, 0), 0);
  EXPECT_EQ(ChooseAudioDriver(V{"Null", "freemix"}, false, 0), 1);
  EXPECT_EQ(ChooseAudioDriver(V{"DirectSound", "FreeMix", "DirectSound 2"}, false, 0), 2);
  EXPECT_EQ(ChooseAudioDriver(V{"Null", "Pulse"}, false, 0), 0);
  EXPECT_EQ(ChooseAudioDriver(V{}, false, 0), 0);
  EXPECT_EQ(ChooseAudioDriver(V{"FreeMix", "DirectSound"}, true, 0), 0);  // the file decides
}
