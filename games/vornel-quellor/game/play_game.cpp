// One whole game: the frames of the code rain, the result screen, name entry and the stored record.
#include "audio/audio.h"
#include "core/core.h"
#include "display/display.h"
#include "game/game.h"
#include "input/input.h"
#include "scores/scores.h"

namespace {

// The music loop starts with the game and starts again whenever it has ended.
void KeepMusicPlaying() {
  if (!Game.MusicLoop) return;  // no music loop: nothing plays
  if (!Audio.MusicTrackChannel || !Audio.MusicTrackChannel->Playing()) PlayMusicTrack(Game.MusicLoop);
}

void ColourOfKind(int kind, int v) {
  if (kind == StruckCode) Colour(v, v, 0.15 * v);
  else if (kind == RedCode) Colour(255, 0, 0);
  else Colour(0.3 * v, v, 0.3 * v);
}

// Every cell moves and is drawn, then its ghost: the grid mirrored left to right with mirrored
// glyphs, sliding smoothly with each cell's fall.
void DrawGrid(GameRound& round) {
  const CodeGrid& g = Game.Grid;
  const double cw = 14.0 * round.S, ch = 32.0 * round.S;
  const int lastCol = LastColumn(round), lastRow = LastRow(round);
  for (int col = 0; col <= lastCol; ++col) {
    for (int row = 0; row <= lastRow; ++row) {
      const CellLook look = StepCell(round, col, row);
      const int i = Cell(row, col);
      ColourOfKind(look.kind, look.v);
      SetAlpha(1);
      DrawSprite(Game.GlyphsLarge, TruncToInt(col * cw), TruncToInt((row - 1) * ch), g.Glyph[i], 1);
      SetAlpha(0.15f);
      Colour(0.5 * look.v, look.v, 0.5 * look.v);
      DrawSprite(Game.GlyphsLarge, TruncToInt(round.VirtualWidth - col * cw), TruncToInt((row - 1) * ch + g.Fall[i]),
                 59 - g.Glyph[i], 1);
    }
  }
}

void DrawScoreAndLives(const GameRound& round) {
  const int vw = round.VirtualWidth, vh = round.VirtualHeight;
  SelectSizedFont(1, 4);
  Scale(1, 1);
  Colour(255, 255, 255);
  WriteText(vw / 2, vh - 24, std::to_string(round.Score), 1, 1);
  Colour(255, 0, 0, 0.25);
  DrawRect(0, static_cast<float>(vh - 16), static_cast<float>(vw), 16);
  const int width = round.Lives * (vw / std::max(round.LivesAtStart, 1));
  if (width > 0) {
    Colour(80, 255, 0, 0.25);
    DrawRect(0, static_cast<float>(vh - 16), static_cast<float>(width), 16);
  }
}

// "Game Over" over the last frame: a white halo, a dark outline, yellow letters.
void ShowResult(const GameRound& round) {
  Flip(-1);
  SelectFont(Display.Fonts[5]);
  const int x = round.VirtualWidth / 2, y = round.VirtualHeight / 2;
  for (int dx = -3; dx <= 3; ++dx)
    for (int dy = -3; dy <= 3; ++dy) {
      ResetDraw();
      WriteText(x + dx, y + dy, "Game Over", 1, 1);
    }
  for (int dx = -2; dx <= 2; ++dx)
    for (int dy = -2; dy <= 2; ++dy) {
      ResetDraw();
      Colour(8, 8, 8);
      WriteText(x + dx, y + dy, "Game Over", 1, 1);
    }
  ResetDraw();
  Colour(255, 255, 0);
  WriteText(x, y, "Game Over", 1, 1);
  Flip(-1);
}

}  // namespace

void PlayGame() {
  GameRound& round = Game.Round;
  round = GameRound{};
  round.VirtualWidth = Display.VirtualWidth;
  round.VirtualHeight = Display.VirtualHeight;
  StartRound(round, Core.Difficulty);

  while (round.EndReason == 0) {
    // The space is read every frame: the settings panel's Apply may change it in the middle of a
    // game, and the grid, the drops and the lives bar then fit the new one.
    round.VirtualWidth = Display.VirtualWidth;
    round.VirtualHeight = Display.VirtualHeight;
    BeginFrame(1);
    KeepMusicPlaying();
    ResetDraw();
    round.S = CellScale(Display.SpriteBudget[1], round.VirtualWidth, round.VirtualHeight);
    Scale(round.S, round.S);
    DrawGrid(round);

    const int pointerCol = TruncToInt(Display.PointerX / (14.0 * round.S));
    const int pointerRow = TruncToInt(Display.PointerY / (32.0 * round.S) + 1);
    HandleShot(round, IsMouseDown(1) != 0, pointerCol, pointerRow);
    StartDrops(round);

    Scale(2, 2);
    SetAlpha(1);
    UpdateParticles();
    DrawScoreAndLives(round);

    // The game ends at the first life lost after the lives reached 0.
    if (round.Lives < 0) round.EndReason = 1;
    if (FrameEnd(Input.InputMode) == 99) round.EndReason = 99;  // Quit in the pause menu
  }
  ShowResult(round);

  if (Audio.MusicTrackChannel) {
    Audio.MusicTrackChannel->Stop();
    Audio.MusicTrackChannel = nullptr;
  }
  WaitAnswering(1500);
  FinishGame(round.Score, Game.BadgeTable, round.EndReason == 99 ? 1 : 0);
}
