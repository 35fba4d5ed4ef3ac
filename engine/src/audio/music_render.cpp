// The composer's music rendered offline: the program's frames replayed on a fake clock as fast as the
// machine allows, the composer ticked once a frame as the frame end does, and FreeMix's mixer run
// over each frame's stretch of output.
#include <algorithm>
#include <cmath>

#include "audio/audio.h"
#include "core/core.h"
#include "input/input.h"

namespace {

constexpr int RenderRate = 44100;                // output frames per second
constexpr int FramesPerSecond = 60;              // the frame end's pace
constexpr int MixPerFrame = RenderRate / FramesPerSecond;  // 735 output frames a frame

}  // namespace

bool RenderMusic(const std::string& name, int64_t seed, int tempo, int seconds,
                 const std::function<void(const int16_t* samples, int frames)>& sink) {
  if (!FileExists("music/" + name + ".ini")) return false;
  if (seed == -1) seed = ClockMs();  // the real clock's value, before the fake one starts at 0
  UseFakeClock(0);
  if (!UseOfflineMixing(RenderRate)) return false;
  LoadMusicSamples();
  StartMusic(name, seed, tempo);
  if (!Audio.Music.playing) return false;

  std::vector<float> mix(2 * MixPerFrame);
  std::vector<int16_t> pcm(2 * MixPerFrame);
  const int64_t frames = static_cast<int64_t>(std::max(seconds, 0)) * FramesPerSecond;
  for (int64_t n = 0; n < frames; ++n) {
    // Frame n ends at n / 60 s: the millisecond clock reads that time rounded down, so frames are
    // 16 or 17 ms apart and never drift from 60 a second.
    const uint32_t due = static_cast<uint32_t>(n * 1000 / FramesPerSecond);
    SleepMs(static_cast<int>(due - ClockMs()));
    MusicTick();
    MixOffline(mix.data(), MixPerFrame);
    for (size_t i = 0; i < mix.size(); ++i) pcm[i] = static_cast<int16_t>(std::lrint(mix[i] * 32767.0f));
    if (sink) sink(pcm.data(), MixPerFrame);
  }
  return true;
}
