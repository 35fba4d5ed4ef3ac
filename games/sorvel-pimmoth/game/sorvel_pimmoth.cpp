// The game as the engine sees it: its identity, its About page, its assets and the calls the engine
// makes.
#include "core/core.h"
#include "display/display.h"
#include "game/game.h"
#include "render/render.h"

static constexpr const char* AboutLines[] = {
    "A Game by Tolvaner",
    "Tolvaner's Weekly Games | Quobble",
    "",
    "-=-=--=-=-=-=-=-=-=-=-",
    "Instructions",
    "",
    "Click the glowing targets",
    "before they shrink away.",
    "A quick click scores more;",
    "every target that fades costs a life.",
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
    "SFX by Tolvaner",
    "created using",
    "Tolvaner's own effect synthesiser",
    "source: tools/make_sounds.cpp",
    nullptr,
};

void LoadGameAssets() {
  Game.GameLogo = LoadImageFile("logo.png", -1);
  Game.TargetImage = LoadImageFile("target.png", -1);
  // Their textures now, not in the first frames of the title screen and of the first game.
  for (const auto& image : {Game.GameLogo, Game.TargetImage}) PrepareImage(image);
}

void DrawTitleLogo(int x, int y) {
  if (!Game.GameLogo) return;
  DrawImageFrame(Game.GameLogo, static_cast<float>(x), static_cast<float>(y - Game.GameLogo->height / 2), 0);
}

const GameDefinition SorvelPimmoth{
    .Identity = &SorvelPimmothIdentity,
    .Summary = "Click the glowing targets before they shrink away.",
    .BadgeCount = 0,
    .AboutLines = AboutLines,
    .ResetState = ResetGameState,
    .LoadAssets = LoadGameAssets,
    .AllocateArrays = AllocateGameArrays,
    .DrawTitleLogo = DrawTitleLogo,
    .PlayGame = PlayGame,
    .DrawScorePops = DrawScorePops,
};
