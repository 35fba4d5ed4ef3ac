#include "display/display_fixture.h"

TEST(FontPlan, SizesAndFacesFollowTheScreenWidth) {
  struct Case {
    int width;
    const char* faceA;
    int font1, font2, sizedA5;
  } cases[] = {
      {512, "SVBasicManual.ttf", 36, 32, 60},
      {640, "SVBasicManual.ttf", 28, 22, 48},
      {800, "SVBasicManual.ttf", 28, 22, 48},
      {1024, "November.ttf", 24, 16, 40},
  };
  for (const Case& c : cases) {
    const auto plan = CommonFontPlan(c.width);
    ASSERT_EQ(plan.size(), 13u + 27u);
    EXPECT_EQ(plan[0].file, c.faceA) << c.width;
    EXPECT_EQ(plan[0].size, c.font1) << c.width;
    EXPECT_EQ(plan[1].size, c.font2) << c.width;
    EXPECT_EQ(plan[13 + 5].size, c.sizedA5) << c.width;  // family A, step 5
    EXPECT_EQ(plan[4].file, "Blue Highway.ttf");
    EXPECT_EQ(plan[9].file, "Acknowledge TT BRK.ttf");
    EXPECT_EQ(plan[9].size, 112);  // family C in Fonts is never scaled
    EXPECT_EQ(plan[13 + 18 + 8].file, "Acknowledge TT BRK.ttf");
  }
}

TEST_F(DisplayTest, OnlyTheSoundEffectsThatExistAreLoadedAndLogged) {
  REQUIRE_DISPLAY();
  UseRecordingAudio();
  GameFolders folders;
  WriteFile(folders.game + "/004.wav", TinyWave());
  WriteFile(folders.game + "/098.wav", TinyWave());
  WriteFile(folders.common + "/open.ogg", TinyWave());  // the loader reads sounds by their content
  static int scoreLoads;
  scoreLoads = 0;
  Hooks.LoadScores = [] { ++scoreLoads; };
  OpenDebugLog(folders.files + "/Debug.txt");
  LoadCommonAssets();
  CloseDebugLog();
  const auto log = ReadLines(folders.files + "/Debug.txt");
  std::vector<std::string> sfx;
  for (const auto& line : log)
    if (line.rfind("\tSFX(", 0) == 0) sfx.push_back(line);
  EXPECT_EQ(sfx, (std::vector<std::string>{"\tSFX(4)", "\tSFX(98)"}));
  int loaded = 0;
  for (const auto& sound : Audio.SoundBank) loaded += sound != nullptr;
  EXPECT_EQ(loaded, 2);
  EXPECT_NE(Audio.SoundBank[4], nullptr);
  EXPECT_EQ(CurrentDir(), folders.game);
  EXPECT_EQ(scoreLoads, 1);
  EXPECT_EQ(Display.GraphicsReady, 1);
  // Nothing else exists: every other asset is nothing, and the program goes on.
  EXPECT_EQ(Display.IconsFiltered, nullptr);
  EXPECT_EQ(Display.Fonts[1], nullptr);
}

TEST_F(DisplayTest, TheJinglePlaysOnTheFirstLoadOnly) {
  REQUIRE_DISPLAY();
  UseRecordingAudio();
  GameFolders folders;
  WriteFile(folders.common + "/open.ogg", TinyWave());
  auto jingleStarts = [] {
    int n = 0;
    for (const AudioEvent& e : Audio.Recorded) n += e.What == AudioEvent::Started;
    return n;
  };
  LoadCommonAssets();
  EXPECT_EQ(jingleStarts(), 1);
  ASSERT_NE(Audio.ChannelTable[256], nullptr);
  LoadCommonAssets();  // the display settings applied again
  EXPECT_EQ(jingleStarts(), 1);
}

// Without "Common/" the common loads run in "Files/", and the game's folder is found again: its sound
// effects load and the score loader runs there, never in the folder above "Files/".
TEST_F(DisplayTest, WithoutTheCommonFolderLoadingStaysInsideTheFilesFolder) {
  REQUIRE_DISPLAY();
  UseRecordingAudio();
  GameFolders folders;
  ::rmdir(folders.common.c_str());
  ::mkdir(folders.dir.file("900").c_str(), 0755);  // a decoy beside "Files/"
  WriteFile(folders.dir.file("900/004.wav"), TinyWave());
  WriteFile(folders.game + "/098.wav", TinyWave());
  static std::string loadedIn;
  Hooks.LoadScores = [] { loadedIn = CurrentDir(); };
  LoadCommonAssets();
  EXPECT_EQ(CurrentDir(), folders.game);
  EXPECT_EQ(loadedIn, folders.game);
  EXPECT_NE(Audio.SoundBank[98], nullptr);
  EXPECT_EQ(Audio.SoundBank[4], nullptr);
  LoadCommonAssets();  // and again, as when the display settings are applied
  EXPECT_EQ(CurrentDir(), folders.game);
}

TEST_F(DisplayTest, SizedFontsOutOfRangeCountAsTheFirstFamilyAndStep) {
  REQUIRE_DISPLAY();
  for (auto& font : Display.SizedFonts) font = std::make_shared<TImageFont>();
  SelectSizedFont(3, 8);
  EXPECT_EQ(CurrentScreen()->image_font, Display.SizedFonts[28]);
  SelectSizedFont(0, 12);
  EXPECT_EQ(CurrentScreen()->image_font, Display.SizedFonts[0]);
  SelectSizedFont(2, 4);
  EXPECT_EQ(CurrentScreen()->image_font, Display.SizedFonts[14]);
}
