// Who the game is: fixed for good, since its scrambling key, its score file and its online tables
// all derive from these texts (the score server links this file alone).
#include "core/core.h"
#include "game/game.h"

const GameIdentity VornelQuellorIdentity{
    .WeekNumber = 278,
    .TitleWord1 = "Vornel",
    .TitleWord2 = "Quellor",
    .Tagline = "Blast the red code, save the net",
    .GameCode = "7QW2ZR8M",
    .Version = "0.1.0",
    .ExecutableName = "vornel-quellor",
    .ApplicationId = "io.github.tolvaner.VornelQuellor",
    .DifficultyNames = {"Easy", "Medium", "Hard"},
};
