#include "game/game.h"

GameState Game;

void ResetGameState() { Game = GameState{}; }

void AllocateGameArrays() {
  Game.BadgeTable.fill(0);
  Game.Grid.Glyph.assign(GridCells, 0);
  Game.Grid.Speed.assign(GridCells, 0.0f);
  Game.Grid.Fall.assign(GridCells, 0.0f);
  Game.Grid.Kind.assign(GridCells, 0);
  Game.Grid.Glow.assign(GridCells, 0);
}
