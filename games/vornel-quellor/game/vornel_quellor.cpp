// The game as the engine sees it: its identity, its About page and the calls the engine makes.
#include "core/core.h"
#include "game/game.h"
#include "render/render.h"
#include "shell/shell.h"

static constexpr const char* AboutLines[] = {
    "A Game by Tolvaner",
    "Tolvaner's Weekly Games | Quobble",
    "",
    "-=-=--=-=-=-=-=-=-=-=-",
    "Instructions",
    "",
    "Destroy the Red Code before",
    "it reaches the bottom of the screen.",
    "-=-=--=-=-=-=-=-=-=-=-",
    "",
    "Credits",
    "",
    "Game",
    "Made with C++, SDL2 and OpenGL",
    "using Tolvaner's Framework",
    "",
    "Graphics",
    "Font : Clear Sans by Intel",
    "Font : Lato by Lukasz Dziedzic",
    "Font : Open Sans by Steve Matteson",
    "Font : DotGothic16 by Fontworks",
    "All other graphics by Tolvaner",
    "",
    "Music/SFX by Tolvaner",
    "",
    "Additional Sound Effects",
    "created using",
    "Tolvaner's own effect synthesiser",
    "source: tools/make_sounds.cpp",
    "",
    "Music : Falling Code",
    "source: tools/make_music.cpp",
    "Tolvaner",
    nullptr,
};

void DrawTitleLogo(int x, int y) {
  if (!Game.GameLogo) return;
  DrawImageFrame(Game.GameLogo, static_cast<float>(x), static_cast<float>(y - Game.GameLogo->height / 2), 0);
}

const GameDefinition VornelQuellor{
    .Identity = &VornelQuellorIdentity,
    .Summary = "Blast the red code before it reaches the bottom of the screen.",
    .BadgeCount = 16,
    .AboutLines = AboutLines,
    .ResetState = ResetGameState,
    .LoadAssets = LoadGameAssets,
    .AllocateArrays = AllocateGameArrays,
    .DrawTitleLogo = DrawTitleLogo,
    .PlayGame = PlayGame,
    .DrawScorePops = DrawScorePops,
};
