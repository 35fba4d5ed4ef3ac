// The music composer's samples: two drum kits and up to eight instruments each of bass, lead and
// accompaniment, in the game folder's "music/".
#include "audio/audio.h"
#include "core/core.h"

void LoadMusicSamples() {
  Audio.MusicSamples = {};
  Audio.InstrumentCount = {};
  for (int n = 1; n <= 8; ++n) {
    const std::string number = std::to_string(n);
    Audio.MusicSamples[n] = LoadSoundFile("music/d1-" + number + ".wav", 0);
    Audio.MusicSamples[n + 10] = LoadSoundFile("music/d2-" + number + ".wav", 0);
    const char* kinds[3] = {"bass", "lead", "accompany"};
    for (int k = 1; k <= 3; ++k) {
      const std::string name = "music/" + std::string(kinds[k - 1]) + number + ".wav";
      if (!FileExists(name)) continue;
      Audio.InstrumentCount[k] = n;
      Audio.MusicSamples[n + 10 + 10 * k] = LoadSoundFile(name, 0);
    }
  }
}
