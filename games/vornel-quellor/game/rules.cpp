// The rules of the code rain, over the grid and the round's numbers.
#include <cmath>

#include "audio/audio.h"
#include "core/core.h"
#include "display/display.h"
#include "game/game.h"

GameState Game;

void ResetGameState() { Game = GameState{}; }

void AllocateGameArrays() {
  Game.BadgeTable.fill(0);
  Game.Grid.Glyph.assign(GridCells, 0);
  Game.Grid.Speed.assign(GridCells, 0.0f);
  Game.Grid.Fall.assign(GridCells, 0.0f);
  Game.Grid.Kind.assign(GridCells, GreenCode);
  Game.Grid.Glow.assign(GridCells, 0);
}

namespace {

struct Difficulty {
  int lives, redLow, redHigh, redSpeed;
};
constexpr Difficulty Difficulties[3] = {{25, 90, 120, 2}, {10, 60, 90, 2}, {5, 30, 60, 3}};

double CellWidth(const GameRound& r) { return 14.0 * r.S; }
double CellHeight(const GameRound& r) { return 32.0 * r.S; }

}  // namespace

void StartRound(GameRound& round, int difficulty) {
  if (Game.Grid.Glyph.size() != static_cast<size_t>(GridCells)) AllocateGameArrays();
  const Difficulty& d = Difficulties[difficulty < 0 ? 0 : difficulty > 2 ? 2 : difficulty];
  round.Score = 0;
  round.EndReason = 0;
  Core.GameBadges = 0;
  for (int i = 1; i <= 30; ++i) Game.BadgeTable[i] = 0;

  // The whole first grid is invisible until drops pass through it.
  CodeGrid& g = Game.Grid;
  for (int col = 0; col <= round.VirtualWidth / 14 && col < GridColumns; ++col)
    for (int row = 0; row <= round.VirtualHeight / 32 && row < GridRows; ++row) {
      const int i = Cell(row, col);
      g.Glyph[i] = RandInt(0, 59);
      g.Speed[i] = static_cast<float>(RandReal(1, 6));
      g.Fall[i] = 0;
      g.Kind[i] = GreenCode;
      g.Glow[i] = -1234567;
    }

  round.RedCountdown = RandInt(120, 240);
  round.RedLow = d.redLow;
  round.RedHigh = d.redHigh;
  round.RedSpeed = d.redSpeed;
  round.Lives = round.LivesAtStart = d.lives;
  // A button still held from the click that started the game does not fire until released.
  round.Cooldown = 1000;
  round.Reload = 500;
}

float CellScale(int budget, int virtualWidth, int virtualHeight) {
  float s = 1.0f;
  long cols, rows;
  do {
    s += 0.01f;
    cols = static_cast<long>(std::floor(virtualWidth / (14.0 * s)) + 2);
    rows = static_cast<long>(std::floor(virtualHeight / (32.0 * s)) + 2);
  } while (cols * rows * 2 > budget && s < 64.0f);  // every cell is drawn twice
  return s;
}

int LastColumn(const GameRound& round) {
  return std::min(TruncToInt(round.VirtualWidth / CellWidth(round) + 1), GridColumns - 1);
}

int LastRow(const GameRound& round) {
  return std::min(TruncToInt(round.VirtualHeight / CellHeight(round) + 2), GridRows - 2);
}

CellLook StepCell(GameRound& round, int col, int row) {
  CodeGrid& g = Game.Grid;
  const int i = Cell(row, col), below = Cell(row + 1, col);
  CellLook look{g.Kind[i], std::clamp(g.Glow[i], 0, 255)};
  if (g.Glow[i] > 0) g.Glow[i] -= 2;
  g.Fall[i] += g.Speed[i];
  if (g.Fall[i] <= CellHeight(round)) return look;

  // The content moves one row down.
  const bool red = g.Kind[i] == RedCode;
  if (red && row == TruncToInt(std::floor(round.VirtualHeight / CellHeight(round)))) {
    PlaySfx(2, 1, 0.5f, 0);  // red code reached the bottom: a life lost
    --round.Lives;
  }
  if (red && g.Kind[below] == StruckCode) ++round.Score;  // red falling into struck code scores
  if (g.Kind[below] == GreenCode || g.Kind[i] > GreenCode || g.Glow[below] < 100) g.Kind[below] = g.Kind[i];
  // Red and struck code stay so while they glow brightly: an unblasted red code leaves a red trail.
  if (g.Kind[i] > GreenCode && g.Glow[i] < 240) g.Kind[i] = GreenCode;
  g.Fall[below] = 0;
  g.Glow[below] = g.Glow[i] + 20;
  g.Speed[below] = g.Speed[i];
  g.Glyph[below] = g.Glyph[i];
  g.Fall[i] = 0;
  g.Glyph[i] = RandInt(0, 59);
  g.Speed[i] -= 0.1f;
  return look;
}

void StepGrid(GameRound& round) {
  const int lastCol = LastColumn(round), lastRow = LastRow(round);
  for (int col = 0; col <= lastCol; ++col)
    for (int row = 0; row <= lastRow; ++row) StepCell(round, col, row);
}

void Blast(GameRound& round, int col, int row) {
  CodeGrid& g = Game.Grid;
  const int left = RandInt(2, 4), right = RandInt(2, 4), up = RandInt(2, 4), down = RandInt(1, 3);
  const double cw = CellWidth(round), ch = CellHeight(round);
  for (int k = col - left; k <= col + right; ++k) {
    for (int l = row - up; l <= row + down; ++l) {
      if (k < 0 || l < 0 || k >= round.VirtualWidth / cw + 2 || l >= round.VirtualHeight / ch + 3) continue;
      if (k >= GridColumns || l >= GridRows) continue;
      const int i = Cell(l, k);
      // Sparks in the cell's colour at brightness 128: green (38, 128, 38), struck (128, 128, 19),
      // red (128, 19, 19).
      static constexpr double factors[4][3] = {{0.3, 1, 0.3}, {0.3, 1, 0.3}, {1, 1, 0.15}, {1, 0.15, 0.15}};
      const double* f = factors[g.Kind[i] >= 1 && g.Kind[i] <= 3 ? g.Kind[i] : 1];
      const int r = TruncToInt(128 * f[0]), gr = TruncToInt(128 * f[1]), b = TruncToInt(128 * f[2]);
      for (int p = 0; p < 6; ++p) {
        Particle spark;
        spark.x = static_cast<float>(round.S * RandReal(0, 5) + k * cw);
        spark.y = static_cast<float>(round.S * RandReal(0, 23) + (l - 1) * ch);
        spark.gx = static_cast<float>(RandReal(-12, 12));
        spark.gy = static_cast<float>(RandReal(-12, 12));
        spark.n = RandInt(0, 99);
        spark.r = r;
        spark.g = gr;
        spark.b = b;
        Game.Particles.push_back(spark);
      }
      if (g.Kind[i] == RedCode) {
        ++round.Score;
        PlaySfx(5, 1, 0.2f, static_cast<float>(RandReal(-1, 1)));
      }
      g.Kind[i] = StruckCode;
      g.Speed[i] = 0.25f;
      g.Glow[i] = 320;
    }
  }
}

void HandleShot(GameRound& round, bool buttonDown, int pointerCol, int pointerRow) {
  if (buttonDown && round.Cooldown == 0) {
    // Holding the button fires every Reload frames, each shot 3 frames later than the last.
    round.Cooldown = round.Reload;
    round.Reload += 3;
    PlaySfx(4, static_cast<float>(RandReal(0.7, 1.3)), 0.35f, 0);
    Blast(round, pointerCol, pointerRow);
  }
  if (round.Cooldown > 0) --round.Cooldown;
  if (!buttonDown) {  // the next click fires at once
    round.Cooldown = 0;
    round.Reload = 10;
  }
}

void StartDrops(GameRound& round) {
  if (RandInt(0, 2) != 1) return;
  CodeGrid& g = Game.Grid;
  const int lastCol = std::min(TruncToInt(round.VirtualWidth / CellWidth(round) - 2), GridColumns - 1);
  for (int drop = 0; drop < 2; ++drop) {
    // A drop never lands on a red code still at the top of its column: that would erase it.
    int c = RandInt(2, lastCol);
    for (int tries = 0; g.Kind[Cell(0, c)] == RedCode && tries < 64; ++tries) c = RandInt(2, lastCol);
    if (g.Kind[Cell(0, c)] == RedCode) continue;
    const int top = Cell(0, c);
    g.Glyph[top] = RandInt(0, 59);
    g.Speed[top] = static_cast<float>(RandReal(1, 4));
    g.Fall[top] = 0;
    g.Kind[top] = GreenCode;
    g.Glow[top] = 255;

    round.RedCountdown -= RandInt(0, 2);
    if (round.RedCountdown >= 0) continue;
    // Red code comes ever more often: the bounds shrink with every red code down to 20..45.
    round.RedLow = std::max(round.RedLow - 2, 20);
    round.RedHigh = std::max(round.RedHigh - 3, 45);
    if (round.RedHigh < round.RedLow) round.RedHigh = round.RedLow;
    round.RedCountdown = RandInt(round.RedLow, round.RedHigh);
    for (int row = 0; row <= 1; ++row) {  // red code two cells tall
      const int i = Cell(row, c);
      g.Kind[i] = RedCode;
      g.Speed[i] = static_cast<float>(round.RedSpeed);
      g.Glow[i] = 640;
      g.Fall[i] = 0;
    }
    g.Glyph[Cell(1, c)] = RandInt(0, 59);
  }
}
