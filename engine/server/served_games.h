// The games of the series this score server was built with, in the order they were added (the
// build writes their list from each game's vq_add_game).
#pragma once

#include <vector>

#include "core/core.h"

const std::vector<const GameIdentity*>& ServedGames();
