// The composer's pattern file of the generated tree, rendered as --compose theme SEED --wav does it,
// listened to by its levels and its note onsets.
#include <gtest/gtest.h>

#include <cmath>

#include "audio/audio.h"
#include "core/core.h"
#include "decode.h"
#include "support/test_support.h"

namespace {

struct Render {
  std::vector<int16_t> pcm;      // interleaved stereo at 44 100 Hz
  std::vector<bool> noteFrames;  // per frame of 735 output frames: a voice started a note in it
};

Render RenderTheme(int64_t seed, int seconds) {
  ResetAllState();
  SetDefaultSetupValues();
  TempDir restore;  // the working directory comes back
  Render r;
  EXPECT_TRUE(ChangeDir(FilesDir() + "/278"));
  std::array<const TChannel*, 5> last{};
  // A note puts a new voice of the back end in its channel entry, in the frame it starts.
  EXPECT_TRUE(RenderMusic("theme", seed, 234, seconds, [&](const int16_t* samples, int frames) {
    bool fresh = false;
    for (int v = 0; v < 5; ++v) {
      fresh = fresh || Audio.ChannelTable[v].get() != last[v];
      last[v] = Audio.ChannelTable[v].get();
    }
    r.noteFrames.push_back(fresh);
    r.pcm.insert(r.pcm.end(), samples, samples + 2 * frames);
  }));
  return r;
}

// Mean square level of count output frames from frame `from`, with a floor that keeps logs finite.
double Power(const Render& r, long from, long count) {
  double sum = 0;
  for (long f = std::max(from, 0L); f < from + count && 2 * f + 1 < static_cast<long>(r.pcm.size()); ++f)
    sum += static_cast<double>(r.pcm[2 * f]) * r.pcm[2 * f] + static_cast<double>(r.pcm[2 * f + 1]) * r.pcm[2 * f + 1];
  return sum / (2.0 * count) / (32768.0 * 32768.0) + 1e-12;
}

double Decibels(double power) { return 10 * std::log10(power); }

}  // namespace

TEST(ThemeRender, LevelsAndOnsetsSoundLikeMusic) {
  for (int64_t seed : {238, 239, 1}) {
    SCOPED_TRACE(seed);
    constexpr int Seconds = 60;
    const Render r = RenderTheme(seed, Seconds);
    ASSERT_EQ(r.pcm.size(), 2u * 44100 * Seconds);

    // Loud enough, never clipping at the default volumes.
    int peak = 0;
    for (int16_t s : r.pcm) peak = std::max(peak, std::abs(static_cast<int>(s)));
    EXPECT_LT(peak, 32767 * 9 / 10);
    const double overall = Decibels(Power(r, 0, 44100L * Seconds));
    EXPECT_GT(overall, -28);
    EXPECT_LT(overall, -14);
    // The music never drops out for a second.
    for (int s = 1; s < Seconds; ++s) EXPECT_GT(Decibels(Power(r, 44100L * s, 44100)), -40) << "second " << s;

    // Onsets: the level jumps (6 dB from one 10 ms to the next) where notes start and hardly anywhere
    // else, and notes come several a second.
    int notes = 0, jumps = 0, onNotes = 0;
    for (size_t f = 1; f < r.noteFrames.size(); ++f) {
      notes += r.noteFrames[f];
      const long at = static_cast<long>(f) * 735;
      if (Decibels(Power(r, at, 441)) - Decibels(Power(r, at - 441, 441)) < 6) continue;
      ++jumps;
      onNotes += r.noteFrames[f] || r.noteFrames[f - 1];
    }
    EXPECT_GT(notes, 3 * Seconds);
    EXPECT_GT(jumps, Seconds);
    EXPECT_GT(onNotes, jumps * 6 / 10) << onNotes << " of " << jumps << " jumps where notes start";
  }
}
