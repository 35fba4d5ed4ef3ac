// core: what every folder of the program shares.
//
// The game's identity, the setup values and game options that many screens read, the debug log,
// the runtime's number and text conventions, 8-bit text files written safely, the one shared
// random generator, and the hooks through which a lower folder reaches a service of an upper one
// (the frame end opening the settings panel, the exit screen, the score loader).
//
// Text is std::string of 8-bit characters (Latin-1). Numbers follow the runtime: reals convert to
// integers by truncation toward zero, integer division truncates toward zero.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// ---- The game: what one game of the series hands to the engine ---------------------------------------
// Each game defines one GameDefinition (a constant of its own folder, so its identity is fixed at
// build time) and passes it to RunGameProgram (shell); everything else the engine shares. The score
// server knows the identities alone, for every game of the series it was built with.
struct GameIdentity {
  int WeekNumber = 0;                  // the number in the series: the game's folder, tables and key
  const char* TitleWord1 = "";         // the two title words, "#N : WORD1 WORD2"
  const char* TitleWord2 = "";
  const char* Tagline = "";            // with the title words and week, makes the scrambling key
  const char* GameCode = "";           // the key of the credentials line and the online requests
  const char* Version = "0.0.0";
  const char* ExecutableName = "";     // the program's name: messages, the per-user data folder
  const char* ApplicationId = "";      // reverse-DNS: desktop entry, icon, AppStream metadata
  // The difficulties by GameMode: the title screen's list, and the tables the score server shows.
  std::array<const char*, 3> DifficultyNames{"Easy", "Medium", "Hard"};
};

struct GameDefinition {
  const GameIdentity* Identity = nullptr;
  const char* Summary = "";            // one line for --help: what the player does
  int BadgeCount = 0;                  // badges the game defines (one icon each on the score panel)
  const char* const* AboutLines = nullptr;  // the About page from line 1, ended by a null pointer
  // What the engine calls, in the order it calls them. All are required (checked at start-up).
  void (*ResetState)() = nullptr;      // forget everything of the last run (start-up and tests)
  void (*LoadAssets)() = nullptr;      // the game's own assets, in its folder, after the common ones
  void (*AllocateArrays)() = nullptr;  // once, after loading: what every game reuses
  // Each title-screen frame, behind the score panel: the game's logo centred on (x, y), in virtual
  // pixels (the point rises into place while the panel slides in).
  void (*DrawTitleLogo)(int x, int y) = nullptr;
  void (*PlayGame)() = nullptr;        // one whole game, ending in a stored score record (FinishGame)
  void (*DrawScorePops)() = nullptr;   // each frame end, over the game: the game's floating numbers
};

// The game this program runs (set by UseGame; every engine folder reads it from here).
const GameDefinition& ThisGame();
inline const GameIdentity& ThisIdentity() { return *ThisGame().Identity; }
// Makes definition the program's game. An empty text: it is complete; else what is missing, for
// the error message ("no PlayGame callback").
std::string UseGame(const GameDefinition& definition);
// The name of the framework in the debug log's banner.
inline constexpr const char* FrameworkBanner = "Tolvaner's Plondrix Engine";
inline constexpr const char* DefaultPlayerName = "Player";

// "#N : WORD1 WORD2", N the week number.
std::string WindowTitle(const GameIdentity& game);
std::string WindowTitle();
// The game's own folder: the last three characters of "000" + week number, then "/" ("007/" for 7).
std::string GameFolder(const GameIdentity& game);
std::string GameFolder();

// ---- Setup value entries (SetupValues indexes) ----------------------------------------------------
enum SetupEntry {
  SetupFullscreen = 1,
  SetupWidescreen = 2,
  SetupEngine = 3,     // 0 OpenGL, 1 Direct3D 9, 2 Direct3D 7
  SetupModeIndex = 4,
  SetupWidth = 5,
  SetupHeight = 6,
  SetupESS = 7,        // emergency slow system: present every second frame
  SetupMaster = 11,
  SetupSound = 12,
  SetupMusic = 13,
  SetupAudioDriver = 14,
};

// "Now" as the runtime gives it: "07 Dec 2011" (English month) and "12:34:56".
struct DateTimeText {
  std::string Date, Time;
};

// ---- Shared state ---------------------------------------------------------------------------------
struct CoreState {
  std::array<int, 100> SetupValues{};  // the player's settings, read from and written to "Setup.ini"

  // Game options chosen on the title screen and read by the game.
  int Difficulty = 1;  // 0 Easy, 1 Medium, 2 Hard
  int Level = 0;       // always 0 in this game
  int GameFlags = 0;
  int GameBadges = 0;  // badge bits of the current game

  std::array<std::string, 100> AboutLines;  // the About page, lines 1..33 used

  uint64_t RandomState = 0x853c49e6748fea9bULL;  // the shared generator
  std::FILE* DebugStream = nullptr;              // "Debug.txt" while open
  std::function<DateTimeText()> LocalNow;        // empty: the local clock (tests fix the time here)
  // The folder of the player's own files: "Setup.ini", "Debug.txt", screenshots, and the game's folder
  // with "nuscores.dat" and "crash.dat". "Files/" itself when it can be written, else the per-user
  // data folder. Empty until start-up decides (paths then stay relative to the game's folder).
  std::string PlayerDir;
};
extern CoreState Core;

// Fresh core state (tests); closes the debug log if it is open.
void ResetCoreState();
// Writes the default setup values: window 800 x 600, OpenGL, volumes 50, audio driver 0.
void SetDefaultSetupValues();

// ---- Debug log ------------------------------------------------------------------------------------
// Opens (truncating) the debug log; returns false when the file cannot be created (the log is then off).
bool OpenDebugLog(const std::string& path);
// Appends one line: the text's bytes, then CR LF. No time stamp, no prefix. Does nothing when closed.
void DebugLine(std::string_view text);
void CloseDebugLog();

// ---- Numbers ---------------------------------------------------------------------------------------
// The runtime's text-to-integer reading: leading blanks skipped, one optional sign, "$" hexadecimal,
// "%" binary, otherwise decimal digits up to the first non-digit; no digits read as 0. Values beyond
// the type's range saturate.
int64_t TextToLong(std::string_view text);
int TextToInt(std::string_view text);
// Absolute value that never overflows (the most negative value gives the most positive one).
int AbsInt(int v);
int64_t AbsLong(int64_t v);
// Real to integer by truncation toward zero, saturating; not-a-number gives 0.
int TruncToInt(double v);
// The last n characters of text (all of it when shorter).
std::string LastChars(std::string_view text, size_t n);
// Decimal with leading zeros: the last `width` characters of "000..." + value ("007" for 7, 3).
std::string ZeroPad(int64_t value, size_t width);

// ---- Text -----------------------------------------------------------------------------------------
std::string Upper(std::string_view text);  // ASCII letters only
std::string Lower(std::string_view text);
// Removes characters of code 32 and below from both ends.
std::string Trim(std::string_view text);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
// The index-th field (from 1) of text split at separator, after trimming characters below code 33
// from both ends of text; "-+-" for a field past the last. A separator of several characters is
// skipped whole. spaceToo = 1 also ends a field at a blank.
std::string Field(std::string_view text, std::string_view separator, int index, int spaceToo = 0);
inline constexpr const char* MissingField = "-+-";
// Typed UTF-8 to 8-bit text; characters above 255 (and malformed bytes) are left out.
std::string Latin1FromUtf8(std::string_view utf8);
// 8-bit text to UTF-8 (for window titles and messages on the terminal).
std::string Utf8FromLatin1(std::string_view text);

// ---- Files ----------------------------------------------------------------------------------------
bool FileExists(const std::string& path);
bool FolderExists(const std::string& path);
// The folder of the running program's executable, without a trailing "/"; "" when it cannot be read.
std::string ExecutableFolder();
// Makes a folder and the folders above it that are missing; true when it is there afterwards.
bool MakeFolders(const std::string& path);
// Whether files can be made in a folder, found out by making and removing one (the mode bits do
// not tell: root writes into folders whose mode says read-only).
bool FolderWritable(const std::string& path);
// A player's file: in Core.PlayerDir, or beside the game's folder (which is the working folder)
// while no player folder is set.
std::string PlayerFile(const std::string& name);
// A player's file of the game's own folder ("nuscores.dat", "crash.dat").
std::string PlayerGameFile(const std::string& name);
bool ChangeDir(const std::string& path);
std::string CurrentDir();
// Reads a text file as lines: a line ends at LF, CR bytes are dropped. False when it cannot be read.
bool ReadTextLines(const std::string& path, std::vector<std::string>& lines);
// Writes lines, each followed by CR LF, to a temporary file beside path, flushes it to disk, renames
// it over path and flushes the folder, so a crash or a kill never leaves half a file. False (and the
// old file untouched) on any failure, and when path is there but is no plain file. The temporary file
// is made new under an unguessable name (never through a link planted beside path); the file keeps
// the mode of the one it replaces, and a new file gets newMode (less the umask).
bool WriteTextFileAtomic(const std::string& path, const std::vector<std::string>& lines, unsigned newMode = 0644);
// The same for any content: write fills the temporary file and answers whether it succeeded.
bool WriteFileAtomic(const std::string& path, const std::function<bool(std::FILE*)>& write, unsigned newMode = 0644);
// Removes the temporary files that killed writes left beside path (beside the file a link at path
// names), but not those of a program still running.
void RemoveLeftoverTemp(const std::string& path);
// Reads a whole file as it is. False when it cannot be read.
bool ReadFileBytes(const std::string& path, std::string& bytes);

// ---- Dates, times, badge bits ----------------------------------------------------------------------
// The current local date and time texts (through Core.LocalNow when set).
DateTimeText CurrentDateTime();
// The timestamp of a date text ("" for today) at the current time:
// ((((year * 12 + month) * 31 + day) * 24 + hour) * 60 + minute) * 60 + second.
int64_t MakeTimestamp(std::string_view dateText);
// "07-12-2011" and "12:34:56" for a timestamp.
std::string FormatDate(int64_t timestamp);
std::string FormatTime(int64_t timestamp);
// 1 when bit n - 1 of value is set, else 0 (0 for n outside 1..32).
int TestBit(int32_t value, int n);

// ---- Random ---------------------------------------------------------------------------------------
// One seedable generator for the whole program: the same seed repeats the same sequence.
void SeedRnd(int64_t seed);
// Uniform integer in lo..hi, both inclusive (the bounds may come in either order).
int RandInt(int lo, int hi);
// Uniform real in lo..hi.
double RandReal(double lo, double hi);

// ---- Hooks: services of upper folders that lower folders call ---------------------------------------
// Each is filled at start-up by the program shell; an empty hook is skipped (tests leave them empty
// or fill them with fakes). The frame end also reaches the screens it serves through them.
struct ProgramHooks {
  void (*WriteSetup)() = nullptr;      // rewrite "Setup.ini" from the current values
  void (*ExitScreen)() = nullptr;      // the single way out; does not return
  void (*SettingsScreen)() = nullptr;  // the slide-in settings panel, run once per frame
  void (*DrawScorePops)() = nullptr;   // the game's floating numbers, drawn by the frame end
  void (*LoadScores)() = nullptr;      // the local score file, read after the common assets
  void (*LoadGameAssets)() = nullptr;  // the engine test, then the game's own assets
  int (*PauseMenu)() = nullptr;        // the pause menu: 1 continue, 99 quit
  void (*TakeScreenshot)() = nullptr;  // F11
  void (*MusicTick)() = nullptr;       // one step of the music composer per frame
  void (*EndProcess)(int status) = nullptr;  // replaces the process exit (tests)
};
extern ProgramHooks Hooks;

// Ends the process with status (through Hooks.EndProcess when set).
[[noreturn]] void EndProcess(int status);
