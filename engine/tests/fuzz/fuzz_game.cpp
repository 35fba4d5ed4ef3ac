// Every fuzz target runs the engine's test game: its identity gives the keys and folder names that
// the readers under test use.
#include "test_game/test_game.h"

static const bool GameChosen = UseGame(TestGame).empty();
