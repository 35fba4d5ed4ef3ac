#include <gtest/gtest.h>

#include <cmath>

#include "audio/backend.h"
#include "input/input.h"
#include "support/test_support.h"

namespace {

// A mixer at 1000 frames per second, so that frames read as milliseconds.
constexpr int OutputRate = 1000;

std::shared_ptr<const SoundSamples> Constant(float value, int frames, int rate = OutputRate, int channels = 1) {
  auto s = std::make_shared<SoundSamples>();
  s->Rate = rate;
  s->Channels = channels;
  s->Samples.assign(static_cast<size_t>(frames * channels), static_cast<int16_t>(value * 32768));
  return s;
}

std::shared_ptr<const SoundSamples> Ramp(int frames, int step) {
  auto s = std::make_shared<SoundSamples>();
  s->Rate = OutputRate;
  s->Channels = 1;
  for (int i = 0; i < frames; ++i) s->Samples.push_back(static_cast<int16_t>(i * step));
  return s;
}

struct Output {
  std::vector<float> Left, Right;
};

Output MixFrames(Mixer& mixer, int frames) {
  std::vector<float> buffer(static_cast<size_t>(frames) * 2);
  mixer.Mix(buffer.data(), frames);
  Output out;
  for (int f = 0; f < frames; ++f) {
    out.Left.push_back(buffer[2 * f]);
    out.Right.push_back(buffer[2 * f + 1]);
  }
  return out;
}

float LargestStep(const std::vector<float>& samples, float from = 0) {
  float largest = 0, previous = from;
  for (float s : samples) {
    largest = std::max(largest, std::abs(s - previous));
    previous = s;
  }
  return largest;
}

}  // namespace

class MixerTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetAllState(); }
  Mixer mixer{OutputRate};
  std::shared_ptr<MixVoice> Start(std::shared_ptr<const SoundSamples> sound, float volume = 1, float pan = 0,
                                  float rate = 1, bool loop = false) {
    auto voice = mixer.NewVoice();
    mixer.Cue(voice, std::move(sound), loop);
    mixer.SetVolume(voice, volume);
    mixer.SetPan(voice, pan);
    mixer.SetRate(voice, rate);
    mixer.SetPaused(voice, false);
    return voice;
  }
};

TEST_F(MixerTest, GainAndPanSetTheLevelOfEachSide) {
  struct Case {
    float volume, pan, left, right;
    int channels;
  } cases[] = {
      {1, 0, 0.5f, 0.5f, 1},       {0.5f, 0, 0.25f, 0.25f, 1},  {1, -1, 0.5f, 0, 1},      {1, 1, 0, 0.5f, 1},
      {1, -0.5f, 0.5f, 0.25f, 1}, {1, 0.5f, 0.25f, 0.5f, 2},  {0, 0, 0, 0, 1},           {2, 0, 0.5f, 0.5f, 1},
      {-1, 0, 0, 0, 1},           {NAN, 0, 0, 0, 1},           {1, 7, 0, 0.5f, 1},        {1, NAN, 0.5f, 0.5f, 1},
  };
  for (const Case& c : cases) {
    Mixer fresh{OutputRate};
    auto voice = fresh.NewVoice();
    fresh.Cue(voice, Constant(0.5f, 100, OutputRate, c.channels), false);
    fresh.SetVolume(voice, c.volume);
    fresh.SetPan(voice, c.pan);
    fresh.SetPaused(voice, false);
    const Output out = MixFrames(fresh, 20);
    EXPECT_NEAR(out.Left[19], c.left, 1e-4) << c.volume << " " << c.pan;
    EXPECT_NEAR(out.Right[19], c.right, 1e-4) << c.volume << " " << c.pan;
  }
}

TEST_F(MixerTest, AVoiceThatReachesItsEndStopsPlayingAtItsRate) {
  struct Case {
    float rate;
    int soundRate;
    int lastFrame;  // output frames the 100-frame sound lasts
  } cases[] = {{1, OutputRate, 100}, {2, OutputRate, 50}, {0.5f, OutputRate, 200}, {1, 500, 200}, {2, 2000, 25}};
  for (const Case& c : cases) {
    Mixer fresh{OutputRate};
    auto voice = fresh.NewVoice();
    fresh.Cue(voice, Constant(0.5f, 100, c.soundRate), false);
    fresh.SetRate(voice, c.rate);
    fresh.SetPaused(voice, false);
    MixFrames(fresh, c.lastFrame - 1);
    EXPECT_TRUE(fresh.Playing(voice)) << c.rate << " " << c.soundRate;
    MixFrames(fresh, 1);
    EXPECT_FALSE(fresh.Playing(voice)) << c.rate << " " << c.soundRate;
    const Output after = MixFrames(fresh, 10);
    EXPECT_EQ(after.Left, std::vector<float>(10, 0.0f));
  }
}

TEST_F(MixerTest, ResamplingInterpolatesBetweenFrames) {
  Start(Ramp(100, 100), 1, 0, 0.5f);  // half speed: every second output frame lies between two
  const Output out = MixFrames(mixer, 40);
  for (int f = 10; f < 40; ++f) EXPECT_NEAR(out.Left[f] * 32768, f * 50.0f, 0.5f) << f;

  Mixer fast{OutputRate};
  auto voice = fast.NewVoice();
  fast.Cue(voice, Ramp(100, 100), false);
  fast.SetRate(voice, 2);
  fast.SetPaused(voice, false);
  const Output skipped = MixFrames(fast, 40);
  for (int f = 10; f < 40; ++f) EXPECT_NEAR(skipped.Left[f] * 32768, f * 200.0f, 0.5f) << f;
}

TEST_F(MixerTest, StartsAndStopsAreRampedSoTheyNeverClick) {
  const float maxStep = 0.8f / static_cast<float>(mixer.FadeFrames()) + 1e-5f;
  auto voice = Start(Constant(0.8f, 1000));
  const Output start = MixFrames(mixer, 50);
  EXPECT_LE(LargestStep(start.Left), maxStep);
  EXPECT_NEAR(start.Left.back(), 0.8f, 1e-4);

  mixer.Stop(voice);
  EXPECT_FALSE(mixer.Playing(voice));  // stopped at once for the program...
  const Output stop = MixFrames(mixer, 50);
  EXPECT_LE(LargestStep(stop.Left, 0.8f), maxStep);  // ...while the sound fades out
  EXPECT_GT(stop.Left[0], 0.0f);
  EXPECT_EQ(stop.Left.back(), 0.0f);

  // A stopped voice can be cued again at once: the old sound's tail fades while the new one rises.
  voice = Start(Constant(0.8f, 1000));
  MixFrames(mixer, 20);
  mixer.Stop(voice);
  mixer.Cue(voice, Constant(0.8f, 1000), false);
  mixer.SetPaused(voice, false);
  EXPECT_TRUE(mixer.Playing(voice));
  const Output again = MixFrames(mixer, 20);
  EXPECT_LE(LargestStep(again.Left, 0.8f), maxStep);

  mixer.SetVolume(voice, 0);  // a gain change is ramped too
  const Output silenced = MixFrames(mixer, 20);
  EXPECT_LE(LargestStep(silenced.Left, 0.8f), maxStep);
  EXPECT_EQ(silenced.Left.back(), 0.0f);
  EXPECT_TRUE(mixer.Playing(voice));
}

TEST_F(MixerTest, PausingFadesOutAndResumingGoesOnFromThere) {
  auto voice = Start(Constant(0.5f, 100));
  MixFrames(mixer, 40);
  mixer.SetPaused(voice, true);
  EXPECT_FALSE(mixer.Playing(voice));
  const Output paused = MixFrames(mixer, 100);
  EXPECT_EQ(paused.Left.back(), 0.0f);
  mixer.SetPaused(voice, false);
  EXPECT_TRUE(mixer.Playing(voice));
  // 40 frames played, a few more while fading out: about 55 are left, not 100.
  MixFrames(mixer, 50);
  EXPECT_TRUE(mixer.Playing(voice));
  MixFrames(mixer, 10);
  EXPECT_FALSE(mixer.Playing(voice));
  // Resuming a voice that is not paused or cued does nothing.
  mixer.SetPaused(voice, false);
  EXPECT_FALSE(mixer.Playing(voice));
}

TEST_F(MixerTest, MixingIsClampedAtTheEnd) {
  Start(Constant(0.8f, 100));
  Start(Constant(0.8f, 100));
  Start(Constant(-0.3f, 100));
  const Output out = MixFrames(mixer, 20);
  EXPECT_NEAR(out.Left[19], 1.0f, 1e-6);  // 0.8 + 0.8 - 0.3 = 1.3
}

TEST_F(MixerTest, ACuedVoiceIsSilentUntilStartedAndALoopGoesOn) {
  auto cued = mixer.NewVoice();
  mixer.Cue(cued, Constant(0.5f, 10), false);
  EXPECT_FALSE(mixer.Playing(cued));
  EXPECT_EQ(MixFrames(mixer, 5).Left, std::vector<float>(5, 0.0f));

  auto looped = Start(Constant(0.5f, 10), 1, 0, 1, true);
  MixFrames(mixer, 1000);
  EXPECT_TRUE(mixer.Playing(looped));
  EXPECT_NEAR(MixFrames(mixer, 1).Left[0], 0.5f, 1e-4);

  // Nothing to play, or no voice: harmless.
  auto empty = mixer.NewVoice();
  mixer.Cue(empty, nullptr, false);
  mixer.SetPaused(empty, false);
  EXPECT_FALSE(mixer.Playing(empty));
  mixer.Cue(nullptr, Constant(0.5f, 10), false);
  mixer.SetPaused(nullptr, false);
  mixer.Stop(nullptr);
  EXPECT_FALSE(mixer.Playing(nullptr));
}

// Without an output device the voices move on by the program clock, so they still end in time.
TEST_F(MixerTest, WithoutADeviceVoicesFollowTheClock) {
  UseFakeClock(5000);
  mixer.FollowClock(true);
  auto voice = Start(Constant(0.5f, 1000));  // one second
  auto fast = Start(Constant(0.5f, 1000), 1, 0, 2);
  SleepMs(499);
  EXPECT_TRUE(mixer.Playing(fast));
  SleepMs(2);
  EXPECT_FALSE(mixer.Playing(fast));
  SleepMs(400);
  mixer.SetPaused(voice, true);
  SleepMs(5000);  // paused time does not count
  mixer.SetPaused(voice, false);
  SleepMs(98);
  EXPECT_TRUE(mixer.Playing(voice));
  SleepMs(2);
  EXPECT_FALSE(mixer.Playing(voice));

  UseFakeClock(100);  // a clock set back moves nothing
  voice = Start(Constant(0.5f, 1000));
  EXPECT_TRUE(mixer.Playing(voice));
}
