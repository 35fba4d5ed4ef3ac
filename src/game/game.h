// game: the code rain, its rules and its effects.
#pragma once

#include <array>
#include <vector>

// The code grid: 150 columns by 100 rows, cell(row, col) = row * 150 + col.
inline constexpr int GridColumns = 150;
inline constexpr int GridRows = 100;
inline constexpr int GridCells = GridColumns * GridRows;

struct CodeGrid {
  std::vector<int> Glyph;    // frame of the large glyph font, 0..59
  std::vector<float> Speed;  // growth of Fall per frame, virtual pixels
  std::vector<float> Fall;   // fall offset, virtual pixels
  std::vector<int> Kind;     // 1 green code, 2 struck code, 3 red code
  std::vector<int> Glow;     // brightness; negative is invisible
};

// A spark from a blasted cell.
struct Particle {
  float x = 0, y = 0;    // virtual pixels, before the drawing scale
  float gx = 0, gy = 0;  // velocity, pixels per frame
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

struct GameState {
  CodeGrid Grid;
  std::array<int, 31> BadgeTable{};
  std::vector<Particle> Particles;  // in creation order; outlive a game
  std::vector<ScorePop> ScorePops;
};
extern GameState Game;

// Fresh game state (tests).
void ResetGameState();
// Allocates the code grid planes once; every game reuses them.
void AllocateGameArrays();
