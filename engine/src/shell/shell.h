// shell: the entry point, the start-up and stop order, the setup file and the title loop.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/core.h"

struct ShellState {
  bool Started = false;             // guard: the program runs its start-up once
  bool AudioDriverGiven = false;    // the setup file named the audio driver
  std::string FilesDir;             // absolute path of the Files/ folder
  // Whether files can be made in a folder; empty: by trying (tests put a fake here).
  std::function<bool(const std::string&)> FolderWritable;
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
  // The online page; it exists only while Online.Enabled is 1 (--online HOST[:PORT]).
  bool LoggedIn = false, LoginFailed = false;
  std::array<std::string, 20> MotdLines;  // the score server's message of the day, lines 1..19
  int RequestState = 0;             // online tables: 0 idle, 1 refresh asked, 2 fetching, 3 waiting
                                    // for the button's release
  bool Submitted = false;           // the local best was offered to the server in this refresh
};
extern ShellState Shell;

// Fresh shell state (tests).
void ResetShellState();

// A game's main: int main(int argc, char** argv) { return RunGameProgram(MyGame, argc, argv); }
// Checks the definition (a clear error and status 70 when a required part is missing), reads the
// command line (--files, --online, --compose..., --help, --version) and runs the program.
int RunGameProgram(const GameDefinition& game, int argc, char** argv);
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
// Whether a login field's "_" cursor shows at this clock time (ms): the focused field's blinks 250 ms
// on, 250 ms off, an unfocused one's shows while the clock modulo 750 is above 324, and the
// password's (field 2) runs in the opposite phase to the user name's (field 1).
bool LoginCursorShown(int field, bool focused, uint32_t clockMs);
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
// Chooses the audio back end as start-up does (the setup file's, else by the name prefixes), stores
// its index in the setup values and selects it; returns its name, "none" when none could start.
std::string SelectSetupAudioDriver();

// Fills the About page's lines from the game's definition.
void FillAboutLines();

// The per-user data folder: $XDG_DATA_HOME/NAME, ~/.local/share/NAME (NAME the executable name) when that
// is unset (or not absolute); empty without a home folder.
std::string PerUserDataFolder();
// The folder of the player's own files for a Files/ folder (absolute): Files/ itself when it and its
// game folder can be written, else the per-user data folder (made, with its game folder, when
// missing), else Files/ all the same.
std::string ChoosePlayerFolder(const std::string& filesDir);

// Finds the Files/ folder: the override when given, else "Files" beside the executable, else the
// installed data folder (installedData, relative to the executable's folder: "../share/NAME"),
// else "Files" in the current folder. Empty when there is none.
std::string FindFilesFolder(const std::string& override, const std::string& exeDir, const std::string& cwd,
                            const std::string& installedData = "");

// ---- The composer's command: --compose NAME SEED [--wav FILE] [--seconds N] [--tempo MS] ----------------
inline constexpr int ComposeDefaultTempo = 234;    // steps of 117 ms: sixteenths at 128 beats a minute
inline constexpr int ComposeDefaultSeconds = 30;   // the length of a render
inline constexpr int ComposeMaxSeconds = 3600;

struct ComposeOptions {
  bool Wanted = false;        // --compose was given
  bool OthersGiven = false;   // --wav, --seconds or --tempo was given
  std::string Name;           // plays music/Name.ini of the game folder
  int64_t Seed = 0;           // -1: the clock's value
  std::string WavFile;        // empty: play in a window on the selected audio back end
  int Seconds = 0;            // 0: until a key (playing), ComposeDefaultSeconds (rendering)
  int Tempo = ComposeDefaultTempo;
  std::string Error;          // the first argument that was wrong, said plainly
};
// Takes the composer's argument at argv[i] and its values (i moves past them); false when argv[i]
// is none of the composer's.
bool TakeComposeArgument(int argc, char** argv, int& i, ComposeOptions& options);
// What is wrong with the composer's arguments as a whole; empty when nothing.
std::string ComposeArgumentError(const ComposeOptions& options);
// Plays the music in a small window until a key, the window's close or the given seconds, or renders
// it into the WAVE file; run over the Files/ folder. Returns the process's exit status.
int RunCompose(const ComposeOptions& options, const std::string& filesDir);
