#include "display/display_fixture.h"

namespace {
std::vector<TGraphicsMode> Modes(std::initializer_list<std::pair<int, int>> sizes, int depth = 32) {
  std::vector<TGraphicsMode> v;
  for (auto [w, h] : sizes) v.push_back({w, h, depth, 60});
  return v;
}
bool Logged(const std::vector<std::string>& log, const std::string& line) {
  return std::find(log.begin(), log.end(), line) != log.end();
}
}  // namespace

TEST(ModeList, KeepsFourThreeSixteenNineAndSixteenTenSizesOnce) {
  ResetAllState();
  SetDefaultSetupValues();
  Core.SetupValues[SetupWidth] = 1280;
  Core.SetupValues[SetupHeight] = 720;
  std::vector<TGraphicsMode> modes = Modes({{1024, 768}, {1280, 1024}, {1280, 720}, {1680, 1050}});
  modes.push_back({1024, 768, 16, 60});
  BuildModeList(modes);
  ASSERT_EQ(Display.ModeCount, 3);
  EXPECT_EQ(Display.ModeWidths[1], 1024);
  EXPECT_EQ(Display.ModeWidths[2], 1280);
  EXPECT_EQ(Display.ModeHeights[2], 720);
  EXPECT_EQ(Display.ModeWidths[3], 1680);
  EXPECT_EQ(Core.SetupValues[SetupModeIndex], 2);
  EXPECT_EQ(Display.ScreenWidth, 1280);
  EXPECT_EQ(Display.ScreenHeight, 720);
}

class GraphicsModeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetAllState();
    SetDefaultSetupValues();
    UseRecordingAudio();
  }
  void TearDown() override {
    CloseDebugLog();
    ResetRenderState();
  }
  std::vector<std::string> Apply(std::vector<TGraphicsMode> modes, int width, int height) {
    Display.ModeSource = [modes] { return modes; };
    Core.SetupValues[SetupWidth] = width;
    Core.SetupValues[SetupHeight] = height;
    OpenDebugLog(folders.files + "/Debug.txt");
    ApplyGraphicsSettings();
    CloseDebugLog();
    return ReadLines(folders.files + "/Debug.txt");
  }
  GameFolders folders;
};

TEST_F(GraphicsModeTest, TheVirtualSpaceFollowsTheShapeOfTheMode) {
  REQUIRE_DISPLAY();
  struct Case {
    int w, h, vw, vh, wide;
    const char* line;
  } cases[] = {
      {1366, 768, 1600, 900, 1, "\tWidescreen mode!"},
      {1280, 800, 1440, 900, 1, "\tWidescreen mode B (10:16)!"},
      {640, 480, 1280, 960, 0, "\tResolution : 640x480,0"},
  };
  for (const Case& c : cases) {
    const auto log = Apply(Modes({{c.w, c.h}}), c.w, c.h);
    EXPECT_EQ(Display.VirtualWidth, c.vw) << c.w;
    EXPECT_EQ(Display.VirtualHeight, c.vh) << c.w;
    EXPECT_EQ(Core.SetupValues[SetupWidescreen], c.wide);
    EXPECT_TRUE(Logged(log, c.line)) << c.line;
    EXPECT_EQ(CurrentScreen()->g_width, c.w);
    EXPECT_EQ(CurrentScreen()->vres_width, c.vw);
  }
}

TEST_F(GraphicsModeTest, ASizeTheDisplayLacksFallsBackToTheCurrentSize) {
  REQUIRE_DISPLAY();
  const auto log = Apply(Modes({{1024, 768}}), 1600, 1200);
  EXPECT_TRUE(Logged(log, "\tResolution : 800x600,0"));
  EXPECT_EQ(Core.SetupValues[SetupWidth], 800);
  EXPECT_EQ(Core.SetupValues[SetupHeight], 600);
  EXPECT_TRUE(Logged(log, "Applying Graphical Settings"));
  EXPECT_TRUE(Logged(log, "\tUsing OpenGL Driver"));
}

TEST_F(GraphicsModeTest, TheCrashMarkerExistsWhileLoadingAndSwitchesOpenGLToDirectX9Once) {
  REQUIRE_DISPLAY();
  static bool markerDuringLoad;
  Hooks.LoadGameAssets = [] { markerDuringLoad = FileExists("crash.dat"); };
  WriteFile(folders.game + "/crash.dat", "");
  auto log = Apply(Modes({{800, 600}}), 800, 600);
  EXPECT_EQ(Core.SetupValues[SetupEngine], 1);
  EXPECT_TRUE(Logged(log, "\tUsing DirectX 9 Driver"));
  EXPECT_TRUE(markerDuringLoad);
  EXPECT_FALSE(FileExists(folders.game + "/crash.dat"));

  WriteFile(folders.game + "/crash.dat", "");
  Core.SetupValues[SetupEngine] = 2;  // Direct3D 7 stays
  log = Apply(Modes({{800, 600}}), 800, 600);
  EXPECT_EQ(Core.SetupValues[SetupEngine], 2);
  EXPECT_TRUE(Logged(log, "\tUsing DirectX 7 Driver"));
  EXPECT_TRUE(Logged(log, "\tChanged Graphics Mode ingame."));  // the second call closed the first screen
}

TEST_F(GraphicsModeTest, FullscreenWithoutAModeOfThatSizeOpensAWindowWithANotice) {
  REQUIRE_DISPLAY();
  Core.SetupValues[SetupFullscreen] = 1;
  std::vector<TGraphicsMode> modes = Modes({{800, 600}}, 8);  // no 32, 24 or 16 bit mode
  const auto log = Apply(modes, 800, 600);
  EXPECT_TRUE(Logged(log, "\tResolution : 800x600,0"));
  EXPECT_EQ(Core.SetupValues[SetupFullscreen], 1);  // the setting stays
  ASSERT_FALSE(Display.Notices.empty());
  EXPECT_EQ(Display.Notices[0].txt, "Can't set to fullscreen in this resolution.");
}

TEST_F(GraphicsModeTest, AModeThatCannotBeOpenedFallsBackToAnEightHundredBySixHundredWindow) {
  REQUIRE_DISPLAY();
  const auto log = Apply(Modes({{40000, 30000}}), 40000, 30000);  // larger than any X screen may be
  ASSERT_NE(CurrentScreen(), nullptr);
  EXPECT_EQ(CurrentScreen()->g_width, 800);
  EXPECT_EQ(Display.ScreenWidth, 800);
  EXPECT_EQ(Core.SetupValues[SetupWidth], 800);
  ASSERT_FALSE(Display.Notices.empty());
  EXPECT_FALSE(FileExists(folders.game + "/crash.dat"));
}

TEST(GraphicsModeNoDisplay, SaysSoAndEndsWithStatusOne) {
  ResetAllState();
  SetDefaultSetupValues();
  GameFolders folders;
  Display.ModeSource = [] { return std::vector<TGraphicsMode>{}; };
  const char* display = std::getenv("DISPLAY");
  const std::string saved = display ? display : "";
  ResetRenderState();
  ::setenv("DISPLAY", ":9999", 1);  // no X server answers there
  OpenDebugLog(folders.files + "/Debug.txt");
  int status = -1;
  try {
    ApplyGraphicsSettings();
  } catch (const ProgramExit& e) {
    status = e.status;
  }
  CloseDebugLog();
  if (display) ::setenv("DISPLAY", saved.c_str(), 1);
  else ::unsetenv("DISPLAY");
  ResetRenderState();
  if (status == -1) GTEST_SKIP() << "the window system opened a window without a display";
  EXPECT_EQ(status, 1);
  const auto log = ReadLines(folders.files + "/Debug.txt");
  EXPECT_TRUE(std::find(log.begin(), log.end(), "No window could be opened (is a display available?)") != log.end());
  EXPECT_FALSE(FileExists(folders.game + "/crash.dat"));
}

// The whole log of a set-up, line by line: the screen's lines, then the common assets', then the
// game's, then the closing rule.
TEST_F(GraphicsModeTest, EachSetUpLogsItsStepsInOrder) {
  REQUIRE_DISPLAY();
  Hooks.LoadGameAssets = [] { DebugLine("(the game's assets)"); };
  const std::vector<std::string> common = {"", "Loading : Common Objects", "", "Switching to Default Folder", "",
                                           "\tDefault Fonts", "\tDefault Icons", "\tLogos", "\tBadgeGet", "",
                                           "Switching to Game Folder", "", "Loading Sound effects",
                                           "Sounds loaded", ""};
  struct Case {
    const char* what;
    int engine, width, height;
    bool crashMarker;
    std::vector<std::string> screenLines;  // between "Applying Graphical Settings" and the assets
    std::vector<int> depths = {32};        // the depths the mode is listed at
    int fullscreen = 0;
  } cases[] = {
      {"first set-up", 0, 1366, 768, false,
       {"\tUsing OpenGL Driver", "\tResolution : 1366x768,0", "\tWidescreen mode!"}},
      {"again, after a crash", 0, 1280, 800, true,
       {"\tChanged Graphics Mode ingame.", "\tUsing DirectX 9 Driver", "\tResolution : 1280x800,0",
        "\tWidescreen mode B (10:16)!"}},
      {"again, Direct3D 7, an ordinary size", 2, 640, 480, false,
       {"\tChanged Graphics Mode ingame.", "\tUsing DirectX 7 Driver", "\tResolution : 640x480,0"}},
      {"full screen: 24 bits tried before 16", 0, 800, 600, false,
       {"\tChanged Graphics Mode ingame.", "\tUsing OpenGL Driver", "\tResolution : 800x600,24"},
       {16, 24},
       1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Core.SetupValues[SetupEngine] = c.engine;
    if (c.crashMarker) WriteFile(folders.game + "/crash.dat", "");
    Core.SetupValues[SetupFullscreen] = c.fullscreen;
    std::vector<TGraphicsMode> modes;
    for (int depth : c.depths) modes.push_back({c.width, c.height, depth, 60});
    const auto log = Apply(modes, c.width, c.height);
    std::vector<std::string> expected = {"", "-=-=-=-=-=-=-=-=-=-=-=-=-=-", "Applying Graphical Settings"};
    expected.insert(expected.end(), c.screenLines.begin(), c.screenLines.end());
    expected.insert(expected.end(), common.begin(), common.end());
    expected.push_back("(the game's assets)");
    expected.push_back("-=-=-=-=-=-=-=-=-=-=-=-=-=-");
    EXPECT_EQ(log, expected);
  }
}
