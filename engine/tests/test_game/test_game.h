// The test game (test_game.cpp): what the engine's tests run as the game, and what it counts.
#pragma once

#include "core/core.h"

struct TestGameState {
  int AssetLoads = 0, Allocations = 0, Games = 0, PopFrames = 0;
};
extern TestGameState TestGameRun;

extern const GameIdentity TestGameIdentity;
extern const GameDefinition TestGame;
