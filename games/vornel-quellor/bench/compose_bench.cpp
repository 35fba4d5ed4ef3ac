// The composer's music rendered offline, as --compose NAME SEED --wav FILE does it: seconds of music
// per second of processor time, for 60 s of the game's pattern file with a few seeds.
//   compose_bench [--quick] [FILES_DIR]   (default: the Files/ folder of the build, beside bench/)
// --quick renders 2 s of music for each seed: it shows that the benchmark still runs to its figures.
#include <time.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "audio/audio.h"
#include "core/core.h"
#include "game/game.h"

namespace {

double Seconds(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return static_cast<double>(t.tv_sec) + t.tv_nsec / 1e9;
}

std::string BuildFiles() {
  const std::string bench = ExecutableFolder();
  return bench.substr(0, bench.rfind('/')) + "/Files";
}

}  // namespace

int main(int argc, char** argv) {
  UseGame(VornelQuellor);
  std::string files = BuildFiles();
  int musicSeconds = 60;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--quick")) musicSeconds = 2;
    else if (argv[i][0] == '-') {
      std::fprintf(stderr, "usage: %s [--quick] [FILES_DIR]\n", argv[0]);
      return 2;
    } else files = argv[i];
  }
  if (!ChangeDir(files + "/" + GameFolder())) {
    std::fprintf(stderr, "no game folder in %s\n", files.c_str());
    return 1;
  }
  SetDefaultSetupValues();
  for (int64_t seed : {238, 239, 1, 77}) {
    int64_t level = 0;  // every sample is read, so nothing of the render can be left out
    const double cpu0 = Seconds(CLOCK_PROCESS_CPUTIME_ID), wall0 = Seconds(CLOCK_MONOTONIC);
    const bool ok = RenderMusic("theme", seed, 234, musicSeconds, [&](const int16_t* samples, int frames) {
      for (int i = 0; i < 2 * frames; ++i) level += samples[i] < 0 ? -samples[i] : samples[i];
    });
    const double cpu = Seconds(CLOCK_PROCESS_CPUTIME_ID) - cpu0, wall = Seconds(CLOCK_MONOTONIC) - wall0;
    if (!ok) {
      std::fprintf(stderr, "music/theme.ini could not be rendered\n");
      return 1;
    }
    std::printf("seed %3lld: %d s of music in %.3f s of processor time (%.3f s wall): %.0f x real time"
                " (mean level %.4f)\n",
                static_cast<long long>(seed), musicSeconds, cpu, wall, musicSeconds / cpu,
                static_cast<double>(level) / (musicSeconds * 44100.0 * 2) / 32768);
  }
  return 0;
}
