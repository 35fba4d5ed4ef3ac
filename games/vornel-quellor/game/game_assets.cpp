// The game's own assets, loaded each time the screen is set up.
#include "audio/audio.h"
#include "display/display.h"
#include "game/game.h"

void LoadGameAssets() {
  LoadMusicSamples();
  Game.GameLogo = LoadImageFile("logo.png", -1);
  Game.GlyphsLarge = LoadImageStrip("font.png", 14, 32, 0, 60, -1);
  Game.GlyphsSmall = LoadImageStrip("font.png", 8, 8, 0, 100, -1);  // the sparks
  Game.MusicLoop = LoadSoundFile("loop.ogg", 0);
  // Their textures now, not in the first frames of the title screen and of the first game.
  for (const auto& image : {Game.GameLogo, Game.GlyphsLarge, Game.GlyphsSmall}) PrepareImage(image);
}
