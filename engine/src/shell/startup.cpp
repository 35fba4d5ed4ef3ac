// The start-up sequence: the fixed order in which the framework and the game come up.
#include <sys/stat.h>

#include "audio/audio.h"
#include "core/core.h"
#include "display/display.h"
#include "input/input.h"
#include "render/render.h"
#include "scores/scores.h"
#include "settings/settings.h"
#include "shell/shell.h"

ShellState Shell;

void ResetShellState() { Shell = ShellState{}; }

int ChooseAudioDriver(const std::vector<std::string>& names, bool givenByFile, int givenIndex) {
  if (givenByFile) return givenIndex;
  int chosen = 0;
  bool taken = false;
  for (size_t i = 0; i < names.size(); ++i) {
    if (StartsWithNoCase(names[i], "DIRECT")) {  // the last DIRECT... wins
      chosen = static_cast<int>(i);
      taken = true;
    } else if (!taken && (StartsWithNoCase(names[i], "OPENAL") || StartsWithNoCase(names[i], "FREE"))) {
      chosen = static_cast<int>(i);
      taken = true;
    }
  }
  return chosen;
}

std::string SelectSetupAudioDriver() {
  auto& entry = Core.SetupValues[SetupAudioDriver];
  entry = ChooseAudioDriver(Audio.DriverList, Shell.AudioDriverGiven, entry);
  if (entry < 0 || entry >= static_cast<int>(Audio.DriverList.size())) return "none";
  const std::string& name = Audio.DriverList[entry];
  // OpenAL is used only when its library loads; otherwise the default back end stays.
  if (HasAudioDriver(name) && (!StartsWithNoCase(name, "OPENAL") || EnableOpenAL()) && SelectAudioDriver(name))
    return name;
  return "none";
}

static void SetAudioDriver() {
  DebugLine("Setting Audio Driver");
  SelectSetupAudioDriver();
  DebugLine("Set Audio Driver");
  DebugLine("");
}

// Enters the game's own folder, making it when the Files/ folder lacks it, so that relative paths
// always land inside Files/.
static void EnterGameFolder() {
  const std::string folder = GameFolder();
  if (!ChangeDir(folder)) {
    ::mkdir(folder.c_str(), 0755);
    ChangeDir(folder);
  }
}

void WireProgramHooks() {
  Hooks.WriteSetup = WriteSetup;
  Hooks.ExitScreen = ExitScreen;
  Hooks.LoadScores = LoadScores;
  Hooks.LoadGameAssets = [] {
    EngineTest(60, 2);  // the sprite budgets, measured before the game's assets load
    ThisGame().LoadAssets();
  };
  Hooks.DrawScorePops = ThisGame().DrawScorePops;
  Hooks.MusicTick = MusicTick;
  Hooks.SettingsScreen = SettingsScreen;
  Hooks.PauseMenu = PauseMenu;
  Hooks.TakeScreenshot = TakeScreenshot;
}

void StartUp(const std::string& filesDir) {
  // 1. Runtime services. The OpenAL back ends are registered here, when the library loads, so the
  //    driver list below and the settings panel can offer them. (The hooks are wired before: see
  //    RunProgram.)
  TuneMemoryForDrawing();  // the software rasteriser's per-frame buffers stay in the heap
  CatchTerminationSignals();
  ListAudioDrivers();
  EnableOpenAL();

  // 2. Window title, particle list, menu background colours.
  SetAppTitle(WindowTitle());
  ThisGame().ResetState();
  Display.BackColour = {0.2f, 0.0f, 1.0f};
  Display.BackTarget = {0.2f, 0.0f, 1.0f};

  // 3. About lines.
  FillAboutLines();

  // 4. Shared tables: fixed-size members of the state structs, allocated with them.

  // 5. Pointer hidden, frame clock started, sprite budgets open until the engine test measures.
  SetPointerVisible(0);
  Display.LastFrameTime = ClockMs();
  Display.SpriteBudget[1] = 50000;
  Display.SpriteBudget[2] = 50000;

  // 6. Joystick ports: the devices present now, at most 4.
  InitJoystickPorts();

  // 7. Control and setup defaults, before the setup file may override them.
  SetDefaultControls();
  SetDefaultSetupValues();

  // 8. The score-scrambling key, before anything is scrambled.
  BuildDefaultKey();

  // 9. The Files/ folder becomes the working directory. The player's own files stay in it when it can
  //    be written, else they go to the per-user data folder.
  ChangeDir(filesDir);
  Shell.FilesDir = CurrentDir();
  Core.PlayerDir = ChoosePlayerFolder(Shell.FilesDir);

  // 10. The debug log and its banner.
  OpenDebugLog(PlayerFile("Debug.txt"));
  for (const std::string& line : {std::string(FrameworkBanner), std::string("----------------------------"),
                                  "Week #" + std::to_string(ThisIdentity().WeekNumber), std::string("----------------------------"),
                                  WindowTitle(), std::string("----------------------------"), std::string(),
                                  std::string("Loading")})
    DebugLine(line);
  if (Core.PlayerDir != Shell.FilesDir) DebugLine("\tPlayer files in " + Core.PlayerDir);

  // 11. The runtime's audio back ends.
  Audio.DriverList = ListAudioDrivers();

  // 12. The setup file (and not the half-written copy a killed run may have left beside it).
  const std::string setup = PlayerFile("Setup.ini");
  RemoveLeftoverTemp(setup);
  if (FileExists(setup)) {
    DebugLine("\tReading Setup File");
    ReadSetup(setup);
  }

  // 13. The audio driver.
  SetAudioDriver();

  // 14.
  DebugLine("\tRequested Resolution : " + std::to_string(Core.SetupValues[SetupWidth]) + "x" +
            std::to_string(Core.SetupValues[SetupHeight]));
  DebugLine("\tSetup Loaded");
  DebugLine("");
  DebugLine("Grabbing Previous Scores");
  DebugLine("");

  // 15. The game's own folder becomes the working directory.
  EnterGameFolder();

  // 16. Loading starts.
  Shell.LoadStart = ClockMs();

  // 17. Screen, virtual space, assets and the engine test.
  ApplyGraphicsSettings();

  // 18.
  Input.InputMode = 1;
  Input.ControlSetCount = 4;
  Display.PauseState = 0;
  Core.Difficulty = 1;

  // 19. Game arrays, reused by every game.
  ThisGame().AllocateArrays();

  // 20.
  DebugLine("Finished Loading");

  // 21. The loading display stays up at least 2.5 seconds; the window keeps answering meanwhile.
  while (static_cast<int32_t>(ClockMs() - Shell.LoadStart) < 2500) {
    PumpEvents();
    SleepMs(1);
  }
}

void RunProgram(const std::string& filesDir) {
  if (Shell.Started) return;
  Shell.Started = true;
  WireProgramHooks();
  StartUp(filesDir);
  TitleLoop();
  ExitScreen();
}
