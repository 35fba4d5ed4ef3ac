// shell: the entry point, the start-up and stop order, the setup file and the title loop.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct ShellState {
  bool Started = false;             // guard: the program runs its start-up once
  bool AudioDriverGiven = false;    // the setup file named the audio driver
  std::string FilesDir;             // absolute path of the Files/ folder
  bool EscapeLatch = false;         // Escape must be released before it ends the title loop
  uint32_t LoadStart = 0;           // ms, when the screen started loading

  // The title screen.
  int Page = 0;                     // 0 Hiscores, 1 Online, 2 About
  int SlideIn = 0;                  // title panel, prompt and logo slide in: 0..32, one step a frame
  bool ClickLatch = false;          // a tab or difficulty was chosen: the button or key must be let go
  bool StartLatch = false;          // set after a game and a key's difficulty change: start controls
                                    // must be released before they count again
  bool StartPressed = false;        // a start control was held in the previous frame
  int FieldFocus = 0;               // login field with the keyboard: 0 none, 1 user name, 2 password
  bool OnlineSwitch = false;        // the Online tab exists; nothing in this game turns it on
  bool LoggedIn = false, LoginFailed = false;
  std::array<std::string, 20> MotdLines;  // the score server's message of the day, lines 1..19
  int RequestState = 0;             // online tables: 0 idle, 1 refresh asked, 2 fetching, 3 waiting
                                    // for the button's release
  bool Submitted = false;           // the local best has been sent in this refresh
};
extern ShellState Shell;

// Fresh shell state (tests).
void ResetShellState();

// The whole program over the given Files/ folder: hooks wired, start-up, title loop, exit screen.
// Does not return, except that a second call returns at once.
void RunProgram(const std::string& filesDir);
// Fills Hooks with the program's own services (the settings panel, the exit screen, the score file,
// the game's assets...), so lower folders reach them. A test that runs StartUp calls it and may then
// replace any hook with a fake.
void WireProgramHooks();
// The start-up sequence, from the runtime services to the minimum loading time. Uses the hooks as
// they stand.
void StartUp(const std::string& filesDir);
// The title loop: one frame per pass until a fresh Escape press ends it.
void TitleLoop();
// Draws and handles one frame of the title screen's panel, pages, hints, start prompt and
// difficulty list. True when the player started a game in this frame.
bool TitleScreen();
// The side panel's width (virtual units): wider on small screens, where its text is larger.
int PanelWidth();
// Starts a game from the title screen and comes back to it when the game is over.
void StartGame();
// Saves everything, writes the closing log lines and ends the process with status 0.
[[noreturn]] void ExitScreen();

// "Setup.ini" in the Files/ folder: read once at start-up, rewritten whole whenever settings may
// have changed.
void ReadSetup(const std::string& path);
void WriteSetup();
std::vector<std::string> SetupFileLines();

// The audio back end start-up takes: the one the setup file named, else the last whose name begins
// with "DIRECT", else the first beginning with "OPENAL" or "FREE", else 0 (names compared without
// letter case).
int ChooseAudioDriver(const std::vector<std::string>& names, bool givenByFile, int givenIndex);

// Fills the About page's lines.
void FillAboutLines();

// Finds the Files/ folder: the override when given, else beside the executable, else in the
// current folder. Empty when there is none.
std::string FindFilesFolder(const std::string& override, const std::string& exeDir, const std::string& cwd);
