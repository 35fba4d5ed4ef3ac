// The game's own assets, loaded each time the screen is set up.
#include "audio/audio.h"
#include "display/display.h"
#include "game/game.h"

void LoadGameAssets() {
  EngineTest(60, 2);
  LoadMusicSamples();
  Game.GameLogo = LoadImageFile("logo.png", -1);
  Game.GlyphsLarge = LoadImageStrip("font.png", 14, 32, 0, 60, -1);
  Game.GlyphsSmall = LoadImageStrip("font.png", 8, 8, 0, 100, -1);  // the sparks
  Game.MusicLoop = LoadSoundFile("loop.ogg", 0);
}
