// Who the game is: fixed for good, since its scrambling key, its score file and its online tables
// all derive from these texts (the score server links this file alone).
#include "core/core.h"
#include "game/game.h"

const GameIdentity SorvelPimmothIdentity{
    .WeekNumber = 279,
    .TitleWord1 = "Sorvel",
    .TitleWord2 = "Pimmoth",
    .Tagline = "Catch every glow before it fades",
    .GameCode = "P7SV4KM2",
    .Version = "0.1.0",
    .ExecutableName = "sorvel-pimmoth",
    .ApplicationId = "io.github.tolvaner.SorvelPimmoth",
    .DifficultyNames = {"Easy", "Medium", "Hard"},
};
