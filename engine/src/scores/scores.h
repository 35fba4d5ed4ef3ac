// scores: the score record, the lists of records and the player's names, the scrambled local score
// file "nuscores.dat", the high-score panel and name entry. (The dates and times records carry are
// core's: screenshots name files by them too.)
//
// The file is read once, when the common assets are first loaded, and written whole (atomically)
// whenever a finished game's record is stored and at exit. Every line is scrambled with checksums;
// a line that fails them is dropped on loading.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "scores/scramble.h"

// One finished game.
struct Scores {
  int64_t Score = 0;
  int64_t Timestamp = 0;  // ((((year*12+month)*31+day)*24+hour)*60+minute)*60+second, local time
  int32_t Badges = 0;     // badge n is bit n - 1
  std::string Name;
  std::array<int32_t, 31> Best{};  // per-level values, 1..30 used
  int32_t Level = 0;
  int32_t GameMode = 0;   // difficulty; online records hold its bitwise complement
  int32_t GameFlags = 0;
  int32_t Quit = 0;       // 1 when the game was quit from the pause menu

  // other.Timestamp - Timestamp, in 64 bits truncated to 32; 1 when other is missing. Sorting
  // ascending by it puts the newest record first.
  int32_t Compare(const Scores* other) const;
};

struct ScoresState {
  std::vector<std::shared_ptr<Scores>> LocalScores;   // newest first after every sort
  std::vector<std::shared_ptr<Scores>> OnlineScores;
  std::shared_ptr<Scores> LastRecord;                 // the most recent finished game
  // A game over whose name is still being asked for: the exit screen stores it when the program is
  // ended from inside the name entry (the window closed, a termination signal).
  struct PendingGame {
    bool Waiting = false;
    int64_t Score = 0;
    std::array<int32_t, 31> Best{};
    int32_t Quit = 0;
  } Pending;
  std::shared_ptr<Scores> LocalBest;  // top of the local ranked list for the difficulty last drawn
  std::string PlayerName = "Player";
  std::string OnlineUser, OnlinePassword;
  std::string DefaultKey;       // the scrambling key, built at start-up, never stored
  bool FileLoaded = false;      // the score file has been read (it is read only once)
  std::string FilePath;         // where saves go: the file that was read; empty while saving could lose it

  // The high-score panel, shared by the local and the online table.
  std::array<std::shared_ptr<Scores>, 26> RankSlots;  // places 1..25, best first; rebuilt every call
  int SelectedIndex = 0;  // 0 none, n the n-th game of the graph (newest 1), 1000 + k place k of the list
  std::shared_ptr<Scores> Selected;  // the record in the details box this frame
  int GraphScroll = 0;    // virtual units the history graph is scrolled toward older games: 0..1000
};
extern ScoresState ScoreLists;

// Fresh score state (tests).
void ResetScoresState();

// ---- Record ---------------------------------------------------------------------------------------
// Sits between the eight main fields and the thirty per-level values of a record line ("§" is 167).
inline constexpr std::string_view ListSeparator{"]{=*\xA7?K31mY8^", 13};
inline constexpr const char* ScoreFileName = "nuscores.dat";
// A score file with lines that could not be read is copied to its name + this before it is rewritten.
inline constexpr const char* DamagedCopySuffix = ".bad";

// Stable merge sort ascending by Compare (newest first); safe whatever Compare answers.
void SortScores(std::vector<std::shared_ptr<Scores>>& list);
// Score|Name|Badges|Timestamp|Level|GameMode|GameFlags|Quit, separator, Best[1]|...|Best[30].
std::string ScoreLine(const Scores& record, std::string_view separator = ListSeparator);
// How a record text's game mode is kept: the score file keeps its absolute value; an online table
// its complement, -(absolute value + 1), which keeps online records out of every local filter.
enum class GameModeRule { Absolute, Complemented };
// The record of a record text: main the eight fields of ScoreLine joined by "|", perLevel the thirty
// per-level values; null when main holds no "|". Missing numbers read 0; all but Score and
// Timestamp lose their sign; the name is trimmed.
std::shared_ptr<Scores> RecordFromFields(std::string_view main, std::string_view perLevel, GameModeRule rule);
// True for a character name entry may add to a name: codes 32 to 255 except "|".
bool IsNameChar(int code);
// The name as a record stores it: without "|" or ListSeparator, blanks trimmed from both ends.
std::string StorableName(std::string_view name);
// Makes the record of the game that just ended (score, per-level values, quit mark; name, date,
// time, badges and game options from the current state), makes it the last record, adds it to
// LocalScores, sorts, and saves the score file at once. Returns the record.
// Notes a game over whose record waits for the name entry.
void HoldFinishedGame(int64_t score, const std::array<int32_t, 31>& best, int32_t quit);
// Stores the held game, if any, under the current PlayerName (StoreFinishedGame); null when none.
std::shared_ptr<Scores> StoreHeldGame();
std::shared_ptr<Scores> StoreFinishedGame(int64_t score, const std::array<int32_t, 31>& best, int32_t quit);

// ---- High-score panel -------------------------------------------------------------------------------
// One frame of the panel for the records of list that have this game mode, level and flags: ranks
// them (25 places), and when active draws the ranked list, the history graph and the details box,
// follows the pointer and prunes records that are neither among the 50 newest nor placed. x and
// width place the panel (virtual units). Returns the best score (as 32 bits), 0 without records.
// The local table (mode not negative) also sets LocalBest.
int ScoreTable(std::vector<std::shared_ptr<Scores>>& list, int x, int width, int mode, int level, int flags,
               int active);

// ---- Name entry -------------------------------------------------------------------------------------
// One editing step of a text field, called once a frame: one typed character is appended when a
// name may hold it (IsNameChar), then a Backspace hit drops the last character.
std::string EditText(std::string text);
// The screen that asks for the name of the finished game's record: edits PlayerName until Enter, a
// click or Escape confirms it.
void EnterName();
// The end of a game as every game ends one: no pause menu any more, the game held, the name asked
// for, the record stored under it. A window closed or a termination signal during the name entry
// (which end the program from inside it) still stores the game, under the name as it stands then.
std::shared_ptr<Scores> FinishGame(int64_t score, const std::array<int32_t, 31>& best, int32_t quit);

// ---- Scrambling -----------------------------------------------------------------------------------
// Builds DefaultKey from the title words, the tagline and the week number (92 characters).
void BuildDefaultKey();
// Upper-case hexadecimal, 2 x (n + 12) digits for n characters; "" for an empty text. An empty key
// means DefaultKey.
std::string Scramble(std::string_view text, std::string_view key);
// The text back, or "XXX" when a checksum fails or the text is too short to hold one.
std::string Unscramble(std::string_view text, std::string_view key);
// (HexToInt and the key-explicit forms are in scores/scramble.h.)

// ---- Score file -----------------------------------------------------------------------------------
// Reads "nuscores.dat" from the working folder into the lists and names, the first time only. A file
// with lines that cannot be read is first copied as it is to "nuscores.dat.bad" beside it.
void LoadScores();
// Writes the score file (sorting LocalScores first); false when it was not written.
bool SaveScores();
// The file's lines for the current state; sorts LocalScores.
std::vector<std::string> ScoreFileLines();
// Replaces LocalScores, the credentials and (from the first record) PlayerName with the lines'
// content; returns how many lines were dropped (a damaged line 1 of credentials counts too).
int ScoresFromLines(const std::vector<std::string>& lines);
