#include <gtest/gtest.h>
#include <filesystem>
#include <sys/stat.h>

#include "core/core.h"
#include "display/display.h"
#include "input/input.h"
#include "render/render.h"
#include "scores/scores.h"
#include "shell/shell.h"
#include "support/test_support.h"
#include "test_game/test_game.h"

namespace {

// A Files/ folder in a temporary place, with its two sub-folders.
struct FilesFolder {
  FilesFolder() {
    ::mkdir(files.c_str(), 0755);
    ::mkdir((files + "/Common").c_str(), 0755);
    ::mkdir((files + "/900").c_str(), 0755);
  }
  TempDir dir;
  std::string files = dir.file("Files");
};

InputEvent KeyEvent(int code, bool down) { return InputEvent(down ? InputEvent::KeyDown : InputEvent::KeyUp, code); }

// Presses and releases keys at fake-clock times.
void ScriptKeys(std::vector<std::tuple<uint32_t, int, bool>> script) {
  auto pending = std::make_shared<std::vector<std::tuple<uint32_t, int, bool>>>(std::move(script));
  Input.EventScript = [pending] {
    while (!pending->empty() && std::get<0>(pending->front()) <= ClockMs()) {
      FeedInputEvent(KeyEvent(std::get<1>(pending->front()), std::get<2>(pending->front())));
      pending->erase(pending->begin());
    }
  };
}

int RunToExit(const std::string& files) {
  try {
    RunProgram(files);
  } catch (const ProgramExit& e) {
    return e.status;
  }
  ADD_FAILURE() << "the program returned instead of ending";
  return -1;
}

}  // namespace

class StartUpTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetAllState(1000); }
  void TearDown() override { ResetRenderState(); }
};

TEST_F(StartUpTest, LogsTheStartAndStopOrderAndWritesTheSetupFile) {
  REQUIRE_DISPLAY();
  FilesFolder f;
  ScriptKeys({{6000, 27, true}});
  EXPECT_EQ(RunToExit(f.files), 0);

  const std::vector<std::string> expected = {
      "Tolvaner's Plondrix Engine", "----------------------------", "Week #900", "----------------------------",
      "#900 : Tessel Probe", "----------------------------", "", "Loading", "Setting Audio Driver",
      "Set Audio Driver", "", "\tRequested Resolution : 800x600", "\tSetup Loaded", "", "Grabbing Previous Scores",
      ""};
  const auto log = ReadLines(f.files + "/Debug.txt");
  ASSERT_GE(log.size(), expected.size());
  EXPECT_EQ(std::vector<std::string>(log.begin(), log.begin() + expected.size()), expected);
  const std::vector<std::string> closing = {"Finished Loading", "Closing Up", "", "Bye!", "", "Play again, soon!!"};
  ASSERT_GE(log.size(), closing.size());
  EXPECT_EQ(std::vector<std::string>(log.end() - closing.size(), log.end()), closing);

  const auto setup = ReadLines(f.files + "/Setup.ini");
  ASSERT_GE(setup.size(), 10u);
  EXPECT_EQ(std::vector<std::string>(setup.begin(), setup.begin() + 10),
            (std::vector<std::string>{"[Graphics]", "Fullscreen = False", "GFX Engine = OpenGL", "Width=800",
                                      "Height=600", "", "[Audio]", "Master = 50", "Sound = 50", "Music = 50"}));
  EXPECT_EQ(Render.AppTitle, "#900 : Tessel Probe");
}

TEST_F(StartUpTest, SharedStateHasItsDefaults) {
  REQUIRE_DISPLAY();
  FilesFolder f;
  WriteFile(f.files + "/Setup.ini", "[Graphics]\r\nGFX Engine = DX9\r\nKey=10,32\r\n");
  WireProgramHooks();
  // Values other than the ones start-up sets, so a start-up that leaves them alone shows.
  Input.InputMode = 0;
  Input.ControlSetCount = 2;
  Core.Difficulty = 2;
  StartUp(f.files);
  EXPECT_EQ(CurrentDir(), Shell.FilesDir + "/900");
  EXPECT_EQ(Core.SetupValues[SetupEngine], 1);
  EXPECT_EQ(Input.ControlTable[10], 32);
  EXPECT_EQ(Input.ControlTable[0], 38);
  // The engine test has measured the machine: under the fake clock every count holds 60 frames.
  EXPECT_EQ(Display.SpriteBudget[1], 17999);
  EXPECT_EQ(Display.SpriteBudget[2], 500);
  EXPECT_EQ(Input.InputMode, 1);
  EXPECT_EQ(Input.ControlSetCount, 4);
  EXPECT_EQ(Core.Difficulty, 1);
  // The game's parts were called once each, its About lines taken from its definition.
  EXPECT_EQ(TestGameRun.AssetLoads, 1);
  EXPECT_EQ(TestGameRun.Allocations, 1);
  EXPECT_EQ(Core.AboutLines[1], "The test game");
  EXPECT_EQ(Core.AboutLines[3], "Click the square.");
  EXPECT_EQ(Core.AboutLines[4], "");
  EXPECT_NE(CurrentScreen(), nullptr);
  const auto log = ReadLines(f.files + "/Debug.txt");
  EXPECT_NE(std::find(log.begin(), log.end(), "\tReading Setup File"), log.end());
  EXPECT_NE(std::find(log.begin(), log.end(), "\tDirectX 9 Mode"), log.end());
  CloseDebugLog();
}

// With a loader that takes no time at all, the loading display still stays up 2.5 seconds, and the
// window keeps answering meanwhile.
TEST_F(StartUpTest, LoadingLastsAtLeastTwoAndAHalfSeconds) {
  REQUIRE_DISPLAY();
  FilesFolder f;
  WireProgramHooks();
  Hooks.LoadGameAssets = [] {};  // no engine test: loading takes a frame or two
  static int pumpsAfterLoading;
  pumpsAfterLoading = 0;
  Input.EventScript = [] { pumpsAfterLoading += Display.SpriteBudget[1] == 50000 ? 1 : 0; };
  StartUp(f.files);
  const uint32_t loading = ClockMs() - Shell.LoadStart;
  EXPECT_GE(loading, 2500u);
  EXPECT_LT(loading, 2520u);
  EXPECT_GT(pumpsAfterLoading, 100);
  CloseDebugLog();
}

// Closing the window while the machine is measured is a quit, not a crash: no marker stays, and the
// next start keeps OpenGL.
TEST_F(StartUpTest, AQuitDuringTheEngineTestIsNotACrash) {
  REQUIRE_DISPLAY();
  FilesFolder f;
  Input.EventScript = [] {
    if (Display.EngineCount >= 1000) FeedInputEvent(InputEvent(InputEvent::Close));
  };
  EXPECT_EQ(RunToExit(f.files), 0);
  EXPECT_EQ(Display.EngineCount, 1000);  // it really ended inside the test
  EXPECT_FALSE(FileExists(f.files + "/900/crash.dat"));

  ResetAllState(1000);
  ScriptKeys({{9000, 27, true}});
  EXPECT_EQ(RunToExit(f.files), 0);
  const auto log = ReadLines(f.files + "/Debug.txt");
  EXPECT_NE(std::find(log.begin(), log.end(), "\tUsing OpenGL Driver"), log.end());
  EXPECT_EQ(std::find(log.begin(), log.end(), "\tUsing DirectX 9 Driver"), log.end());
}

// Sets an environment variable for the life of the object.
struct ScopedEnv {
  ScopedEnv(const char* name, const std::string& value) : Name(name) { setenv(name, value.c_str(), 1); }
  ~ScopedEnv() { unsetenv(Name); }
  const char* Name;
};

// An installed game's data folder cannot be written: the player's files go to the per-user data
// folder, in the same layout, and nothing is written into the data folder.
TEST_F(StartUpTest, PlayerFilesGoToThePerUserFolderWhenFilesCannotBeWritten) {
  REQUIRE_DISPLAY();
  FilesFolder f;
  TempDir home;
  ScopedEnv xdg("XDG_DATA_HOME", home.file("data"));
  static std::string files;
  files = f.files;
  Shell.FolderWritable = [](const std::string& dir) { return dir.rfind(files, 0) != 0 && FolderWritable(dir); };
  ScriptKeys({{6000, 122, true}, {6050, 122, false}, {6500, 27, true}});  // a screenshot, then Escape
  EXPECT_EQ(RunToExit(f.files), 0);

  const std::string own = home.file("data/tessel-probe");
  for (const char* name : {"/Setup.ini", "/Debug.txt", "/900/nuscores.dat"})
    EXPECT_TRUE(FileExists(own + name)) << name;
  int shots = 0;
  for (const auto& entry : std::filesystem::directory_iterator(own))
    shots += entry.path().extension() == ".png";
  EXPECT_EQ(shots, 1);
  EXPECT_FALSE(FileExists(own + "/900/crash.dat"));
  const auto log = ReadLines(own + "/Debug.txt");
  EXPECT_NE(std::find(log.begin(), log.end(), "\tPlayer files in " + own), log.end());
  // The data folder holds what it held before: its two folders, with nothing in them.
  int written = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(f.files)) written += entry.is_regular_file();
  EXPECT_EQ(written, 0);
}

// A Files/ folder that can be written keeps the player's files, and no per-user folder is made.
TEST_F(StartUpTest, AWritableFilesFolderKeepsThePlayerFiles) {
  FilesFolder f;
  TempDir home;
  ScopedEnv xdg("XDG_DATA_HOME", home.file("data"));
  EXPECT_EQ(ChoosePlayerFolder(f.files), f.files);
  EXPECT_FALSE(FolderExists(home.file("data/tessel-probe")));
  EXPECT_EQ(ChoosePlayerFolder("/nonexistent-files"), home.file("data/tessel-probe"));  // cannot be written
  EXPECT_TRUE(FolderExists(home.file("data/tessel-probe/900")));
  {
    ScopedEnv relative("XDG_DATA_HOME", "relative/data");  // not absolute: the home folder's
    ScopedEnv homeVar("HOME", home.path());
    EXPECT_EQ(PerUserDataFolder(), home.path() + "/.local/share/tessel-probe");
  }
}

TEST_F(StartUpTest, TheProgramRunsOnlyOnce) {
  Shell.Started = true;
  RunProgram("/nonexistent");  // returns at once: no start-up, no exit
  EXPECT_EQ(Core.DebugStream, nullptr);
}

// The title loop itself needs no window: flips without a screen only pump events and pace.
TEST_F(StartUpTest, EscapeHeldFromAGameDoesNotQuitUntilPressedAgain) {
  Shell.EscapeLatch = true;
  ScriptKeys({{0, 27, true}, {3000, 27, false}, {5000, 27, true}});
  uint32_t exitedAt = 0;
  Hooks.ExitScreen = [] { throw ProgramExit{0}; };
  TitleLoop();  // returns when a fresh Escape press ends it
  exitedAt = ClockMs();
  EXPECT_GE(exitedAt, 5000u);
  EXPECT_LT(exitedAt, 5100u);
}

TEST_F(StartUpTest, AnEscapeTapWithinOneFrameEndsTheTitleLoop) {
  ScriptKeys({{1100, 27, true}, {1100, 27, false}});
  Hooks.ExitScreen = [] { throw ProgramExit{0}; };
  TitleLoop();
  EXPECT_LT(ClockMs(), 1200u);
}

TEST_F(StartUpTest, TheTitleLoopReplacesForbiddenCharactersInTheCredentials) {
  ScoreLists.OnlineUser = "us:er/n-a*me";
  ScoreLists.OnlinePassword = "p{a}s[s]~#\\;?&+'\"";
  ScriptKeys({{1100, 27, true}});
  TitleLoop();
  EXPECT_EQ(ScoreLists.OnlineUser, "us_er_n_a_me");
  EXPECT_EQ(ScoreLists.OnlinePassword, "p_a_s_s__________");
}

TEST_F(StartUpTest, AltF4AndTheWindowCloseRequestRunTheExitScreen) {
  Hooks.ExitScreen = [] { throw ProgramExit{0}; };
  ScriptKeys({{1100, 164, true}, {1100, 115, true}});
  EXPECT_THROW(TitleLoop(), ProgramExit);
  ResetAllState(1000);
  Hooks.ExitScreen = [] { throw ProgramExit{0}; };
  Input.EventScript = [] {
    if (ClockMs() > 1200) FeedInputEvent(InputEvent(InputEvent::Close));
  };
  EXPECT_THROW(TitleLoop(), ProgramExit);
}

TEST(FilesFolderSearch, OverrideThenBesideTheProgramThenCurrentFolder) {
  FilesFolder a, b;
  EXPECT_EQ(FindFilesFolder(a.files, "", ""), a.files);
  EXPECT_EQ(FindFilesFolder(a.dir.file("nope"), b.dir.path(), ""), "");
  EXPECT_EQ(FindFilesFolder("", a.dir.path(), b.dir.path()), a.dir.path() + "/Files");
  EXPECT_EQ(FindFilesFolder("", "/nonexistent", b.dir.path()), b.dir.path() + "/Files");
  EXPECT_EQ(FindFilesFolder("", "/nonexistent", "/nonexistent"), "");
  // Installed: bin/ beside share/tessel-probe/.
  ::mkdir(a.dir.file("bin").c_str(), 0755);
  ::mkdir(a.dir.file("share").c_str(), 0755);
  ::mkdir(a.dir.file("share/tessel-probe").c_str(), 0755);
  EXPECT_EQ(FindFilesFolder("", a.dir.file("bin"), b.dir.path(), "../share/tessel-probe"),
            a.dir.file("bin") + "/../share/tessel-probe");
}

// A game's definition lacking a required part stops the program before anything starts, saying
// which part is missing; the game in use stays the one before.
TEST(GameDefinitionTest, AnIncompleteDefinitionIsRefusedWithWhatIsMissing) {
  ResetAllState();
  const GameIdentity noCode{.WeekNumber = 901, .TitleWord1 = "Half", .TitleWord2 = "Made",
                            .Tagline = "Not yet", .ExecutableName = "half-made"};
  struct Case {
    const char* what;
    GameDefinition definition;
    const char* missing;
  };
  GameDefinition noPlay = TestGame;
  noPlay.PlayGame = nullptr;
  GameDefinition noLogoNoPops = TestGame;
  noLogoNoPops.DrawTitleLogo = nullptr;
  noLogoNoPops.DrawScorePops = nullptr;
  GameDefinition withoutCode = TestGame;
  withoutCode.Identity = &noCode;
  GameDefinition noIdentity = TestGame;
  noIdentity.Identity = nullptr;
  const Case cases[] = {
      {"no game loop", noPlay, "the game's definition lacks its PlayGame callback"},
      {"two callbacks", noLogoNoPops, "the game's definition lacks its DrawTitleLogo callback, DrawScorePops callback"},
      {"no game code", withoutCode, "the game's definition lacks its game code"},
      {"no identity", noIdentity, "the game's definition lacks its identity"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(UseGame(c.definition), c.missing) << c.what;
    EXPECT_EQ(&ThisGame(), &TestGame) << c.what;
  }
  char program[] = "half-made";
  char* argv[] = {program, nullptr};
  testing::internal::CaptureStderr();
  EXPECT_EQ(RunGameProgram(noPlay, 1, argv), 70);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "half-made: the game's definition lacks its PlayGame callback\n");
  EXPECT_FALSE(Shell.Started) << "nothing started";
}
