// Any bytes as the composer's music file: reading it and composing from it never crashes, hangs or
// reads outside a pattern, whatever its sections, stretch lines and patterns hold; every note the
// composer starts has a finite rate and gain.
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "audio/audio.h"
#include "core/core.h"
#include "input/input.h"

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

// A folder of our own with music/ in it, the working directory from then on; samples in slots so
// that notes are cued on real voices.
void SetUpOnce() {
  static bool done = false;
  if (done) return;
  done = true;
  const std::string dir = "/tmp/vq-fuzz-music-" + std::to_string(::getpid());
  ::mkdir(dir.c_str(), 0755);
  ::mkdir((dir + "/music").c_str(), 0755);
  ChangeDir(dir);
  UseFakeClock(1000);
  UseRecordingAudio();
  SoundSamples s;
  s.Rate = 8000;
  s.Channels = 1;
  s.Samples.assign(400, 1000);
  for (int slot : {1, 2, 11, 12, 21, 31, 41}) Audio.MusicSamples[slot] = CreateSound(s);
  Audio.InstrumentCount = {0, 1, 1, 1};
  Core.SetupValues[SetupMaster] = 50;
  Core.SetupValues[SetupMusic] = 50;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SetUpOnce();
  std::FILE* f = std::fopen("music/fuzz.ini", "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  // The seed from the first bytes, so seeds are explored too.
  int64_t seed = 0;
  for (size_t i = 0; i < size && i < 4; ++i) seed = seed * 256 + data[i];
  StartMusic("fuzz", seed % 3 == 0 ? -seed : seed, 16);
  Audio.Recorded.clear();
  // Three cycles of 64 steps, one step a tick (the step is 8 ms; the clock moves 10 a tick).
  for (int tick = 0; tick < 200; ++tick) {
    Input.FakeNow += 10;
    MusicTick();
  }
  for (const AudioEvent& e : Audio.Recorded) {
    Check(std::isfinite(e.Rate) && std::isfinite(e.Volume) && std::isfinite(e.Pan));
    Check(e.Volume >= 0 && e.Volume <= 1 && e.Pan >= -1 && e.Pan <= 1);
  }
  Check(Audio.Music.step >= -1 && Audio.Music.step < 64);
  for (int t = 0; t < 5; ++t) Check(Audio.Music.Patterns[t].size() <= static_cast<size_t>(MusicStoredPatterns));
  return 0;
}
