// game: the code rain. A grid of glyphs falls down the screen; now and then a drop is red code. The
// player blasts the cells around the pointer; red code that reaches the bottom costs a life. One
// PlayGame call is one whole game, ending in a stored score record.
//
// The rules are plain functions over the grid, a round's numbers and the shared random generator,
// apart from the drawing, so a test can run hundreds of frames in milliseconds.
#pragma once

#include <array>
#include <memory>
#include <vector>

class TImage;
class TSound;

// The code grid: 150 columns by 100 rows, cell(row, col) = row * 150 + col.
inline constexpr int GridColumns = 150;
inline constexpr int GridRows = 100;
inline constexpr int GridCells = GridColumns * GridRows;
inline int Cell(int row, int col) { return row * GridColumns + col; }

enum CodeKind { GreenCode = 1, StruckCode = 2, RedCode = 3 };

struct CodeGrid {
  std::vector<int> Glyph;    // frame of the large glyph font, 0..59
  std::vector<float> Speed;  // growth of Fall per frame, virtual pixels
  std::vector<float> Fall;   // fall offset, virtual pixels
  std::vector<int> Kind;     // CodeKind
  std::vector<int> Glow;     // brightness, drawn clamped to 0..255; negative is invisible
};

// A spark from a blasted cell: it falls, fades toward black and goes when black.
struct Particle {
  float x = 0, y = 0;    // virtual pixels, before the drawing scale
  float gx = 0, gy = 0;  // velocity, pixels per frame; gy grows by 0.5 a frame
  int n = 0;             // frame of the small glyph font
  int r = 0, g = 0, b = 0;
};

// A floating number where points were scored.
struct ScorePop {
  int n = 0;
  float x = 0, y = 0;
  int t = 0;  // frames left
  int r = 0, g = 0, b = 0;
};

// The numbers of one game.
struct GameRound {
  int Score = 0;
  int Lives = 0, LivesAtStart = 0;
  int RedCountdown = 0, RedLow = 0, RedHigh = 0;  // drops until the next red code, and its bounds
  int RedSpeed = 2;
  int Cooldown = 0, Reload = 0;  // frames until the next shot, and the gap after it
  float S = 1.01f;               // cell scale
  int EndReason = 0;             // 0 running, 1 out of lives, 99 quit
  int VirtualWidth = 1280, VirtualHeight = 960;
};

struct GameState {
  CodeGrid Grid;
  std::array<int, 31> BadgeTable{};
  std::vector<Particle> Particles;  // in creation order; they outlive a game
  std::vector<ScorePop> ScorePops;
  GameRound Round;                  // the game running now, or the last one
  // The game's assets.
  std::shared_ptr<TImage> GameLogo, GlyphsLarge, GlyphsSmall;  // glyphs: 60 of 14 x 32, 100 of 8 x 8
  std::shared_ptr<TSound> MusicLoop;
};
extern GameState Game;

// Fresh game state (tests).
void ResetGameState();
// Allocates the code grid planes once; every game reuses them.
void AllocateGameArrays();
// The game's assets (the engine has run its engine test before): the composer's samples, the logo,
// the glyph font cut two ways and the music loop.
void LoadGameAssets();
// The logo of the title screen, centred on (x, y).
void DrawTitleLogo(int x, int y);

// The game's definition (vornel_quellor.cpp) and its identity alone (identity.cpp), which the score
// server shares.
struct GameDefinition;
struct GameIdentity;
extern const GameDefinition VornelQuellor;
extern const GameIdentity VornelQuellorIdentity;

// ---- Rules ------------------------------------------------------------------------------------------
// A new game at a difficulty (0 Easy, 1 Medium, 2 Hard): an invisible grid, lives and red intervals.
void StartRound(GameRound& round, int difficulty);
// The cell scale that fits the grid, each cell drawn twice, within the main sprite budget.
float CellScale(int budget, int virtualWidth, int virtualHeight);
// What a cell looks like this frame, taken before it moves.
struct CellLook {
  int kind = GreenCode;
  int v = 0;  // brightness 0..255
};
// One frame of one cell: glow fades, the fall grows, and past a cell height the content moves one
// row down (costing a life at the bottom when red, scoring when red falls into struck code).
CellLook StepCell(GameRound& round, int col, int row);
// The last column and row of the grid walk at the round's scale.
int LastColumn(const GameRound& round);
int LastRow(const GameRound& round);
// One frame of every cell without drawing.
void StepGrid(GameRound& round);
// The left button this frame at the pointer's cell: fires when the cooldown allows.
void HandleShot(GameRound& round, bool buttonDown, int pointerCol, int pointerRow);
// Blasts a random rectangle of cells around (col, row) into sparks; red cells hit score.
void Blast(GameRound& round, int col, int row);
// With a chance of 1 in 3, two new drops at the top; one of them may be red code.
void StartDrops(GameRound& round);

// ---- Effects ----------------------------------------------------------------------------------------
// Moves, fades and draws every spark (sprite kind 3); black sparks go.
void UpdateParticles();
// Adds points to the game's score and a rising number at (x, y).
void AddScorePop(int points, float x, float y, int r, int g, int b);
// Draws and ages the rising numbers (the frame end calls it every frame).
void DrawScorePops();

// ---- The game ---------------------------------------------------------------------------------------
// Runs one whole game, from the first frame to the stored record.
void PlayGame();
