// FreeMix's mixer: the time to mix one second of output with many voices sounding, each resampled.
// Prints figures; a device thread has about 23 ms for each 1024-frame stretch.
//   mixer_bench [--quick]   --quick mixes a tenth of the output: it shows that the benchmark still runs
//                           to its figures.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "audio/backend.h"

int main(int argc, char** argv) {
  int stretches = 44100 / 1024 * 5;  // about five seconds of output
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--quick")) stretches /= 10;
    else {
      std::fprintf(stderr, "usage: %s [--quick]\n", argv[0]);
      return 2;
    }
  }
  auto sound = std::make_shared<SoundSamples>();
  sound->Rate = 22050;
  sound->Channels = 1;
  for (int i = 0; i < 22050 * 5; ++i) sound->Samples.push_back(static_cast<int16_t>(8000 * std::sin(i * 0.03)));

  for (int voices : {1, 20, 60, 236}) {
    Mixer mixer(44100);
    std::vector<std::shared_ptr<MixVoice>> playing;
    for (int v = 0; v < voices; ++v) {
      playing.push_back(mixer.NewVoice());
      mixer.Cue(playing.back(), sound, true);
      mixer.SetVolume(playing.back(), 0.5f);
      mixer.SetPan(playing.back(), (v % 9 - 4) / 4.0f);
      mixer.SetRate(playing.back(), 0.5f + (v % 7) * 0.25f);
      mixer.SetPaused(playing.back(), false);
    }
    std::vector<float> out(1024 * 2);
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < stretches; ++i) mixer.Mix(out.data(), 1024);
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::printf("%4d voices: %8.3f ms per 1024-frame stretch (%.1f%% of real time)\n", voices, ms / stretches,
                100.0 * ms / stretches / (1024.0 * 1000 / 44100));
  }
  return 0;
}
