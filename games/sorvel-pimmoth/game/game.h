// game: glowing targets appear at random places and shrink; the player clicks one before it vanishes
// to score, more for a quick click, and every target that vanishes costs a life. One PlayGame call is
// one whole game, ending in a stored score record.
//
// The rules are plain functions over a round's numbers and the shared random generator, apart from
// the drawing, so a test can run thousands of frames in milliseconds.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

class TImage;

// One glowing target: it shrinks evenly from its starting radius to nothing over its life.
struct Target {
  float X = 0, Y = 0;     // centre, virtual units
  float StartRadius = 0;  // when it appeared, virtual units
  int Life = 1;           // frames from full size to gone
  int Left = 1;           // frames left; the target vanishes when none are
  int Hue = 0;            // colour, 0..TargetHues - 1
  float Radius() const { return StartRadius * static_cast<float>(Left) / static_cast<float>(Life); }
};
inline constexpr int TargetHues = 6;

// What a difficulty sets: lives, the frames between targets (at the start and at the fastest), how
// many may be up at once, how long one lives and how large it starts.
struct DifficultyRules {
  int Lives;
  int FirstGap, FastestGap;  // frames
  int MaxTargets;
  int LifeFrames;            // frames from full size to gone
  float Size;                // largest starting radius, virtual units
};
// The rules of difficulty 0 Easy, 1 Medium, 2 Hard (outside: the nearest).
const DifficultyRules& RulesOf(int difficulty);

// The numbers of one game.
struct GameRound {
  int Difficulty = 1;
  int64_t Score = 0;
  int Lives = 0;
  int Hits = 0, Vanished = 0, Spawned = 0;
  int Gap = 0;                // frames between targets now; shrinks by one with every target
  int SpawnCountdown = 0;     // frames until the next target
  bool ButtonHeld = true;     // the left button was down last frame (the start click counts as held)
  int EndReason = 0;          // 0 running, 1 out of lives, 99 quit
  int VirtualWidth = 1280, VirtualHeight = 960;
  std::vector<Target> Targets;  // oldest first: a later one is drawn over an earlier one
};

// A floating number where points were scored.
struct ScorePop {
  int64_t n = 0;
  float x = 0, y = 0;
  int t = 0;  // frames left
  int hue = 0;
};

// A ring that spreads from a hit target and fades.
struct Flash {
  float x = 0, y = 0, radius = 0;
  int t = 0;  // frames left
  int hue = 0;
};

struct GameState {
  GameRound Round;  // the game running now, or the last one
  std::vector<ScorePop> ScorePops;
  std::vector<Flash> Flashes;
  std::shared_ptr<TImage> GameLogo, TargetImage;
};
extern GameState Game;

// The top band of the screen that holds the score and the lives: no target appears under it.
inline constexpr int HudHeight = 90;

// Fresh game state (tests).
void ResetGameState();
// Room for the most targets, pops and flashes a game can have.
void AllocateGameArrays();
// The logo and the target sprite, loaded each time the screen is set up.
void LoadGameAssets();
// The logo of the title screen, centred on (x, y).
void DrawTitleLogo(int x, int y);

// The game's definition (sorvel_pimmoth.cpp) and its identity alone (identity.cpp), which the score
// server shares.
struct GameDefinition;
struct GameIdentity;
extern const GameDefinition SorvelPimmoth;
extern const GameIdentity SorvelPimmothIdentity;

// ---- Rules ------------------------------------------------------------------------------------------
// A new game at a difficulty in the round's virtual space: no targets, full lives, the first target
// one gap away.
void StartRound(GameRound& round, int difficulty);
// A new target at a random free place inside the play area; false when the most are up already.
bool SpawnTarget(GameRound& round);
// One frame: every target moves inside the play area if the space shrank, and shrinks; a vanished
// one costs a life, the game ends when the lives are
// gone, and a new target comes when its countdown runs out.
void StepRound(GameRound& round);
// Points for a hit on a target with this much of its starting radius left (0..1): 10 for the last
// moment up to 100 at once.
int HitPoints(float sizeLeft);
// A click at (x, y): the topmost target under it is hit and scores, with a pop and a flash there.
// Returns the points, 0 when no target was under the pointer.
int ClickAt(GameRound& round, float x, float y);
// The left button this frame: a press (not a button held since the last frame) clicks.
int HandleButton(GameRound& round, bool down, float x, float y);

// ---- Effects ----------------------------------------------------------------------------------------
// A rising number of points at (x, y).
void AddScorePop(int points, float x, float y, int hue);
// Draws and ages the rising numbers (the frame end calls it every frame).
void DrawScorePops();

// ---- The game ---------------------------------------------------------------------------------------
// Runs one whole game, from the first frame to the stored record.
void PlayGame();
