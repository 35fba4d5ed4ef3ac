#include <gtest/gtest.h>

#include <cmath>

#include "audio/audio.h"
#include "audio/test_sounds.h"
#include "core/core.h"
#include "input/input.h"
#include "support/test_support.h"

namespace {

std::vector<AudioEvent> Started() {
  std::vector<AudioEvent> started;
  for (const AudioEvent& e : Audio.Recorded)
    if (e.What == AudioEvent::Started) started.push_back(e);
  return started;
}

}  // namespace

class SoundEffectsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetAllState();
    SetDefaultSetupValues();
    UseRecordingAudio();
    Audio.SoundBank[98] = SoundOf(60000);
  }
};

TEST_F(SoundEffectsTest, EffectGainComesFromTheVolumesAndTheArgumentsAreClamped) {
  struct Case {
    int sound, master;
    float rate, volume, pan;
    float gain, playedRate, playedPan;
  } cases[] = {
      {50, 50, 1, 1, 0, 0.25f, 1, 0},         {50, 50, 1, 2, 0, 0.25f, 1, 0},       // clamped to 1 first
      {100, 100, 1, 0.5f, 0, 0.5f, 1, 0},     {50, 0, 1, 1, 0, 0, 1, 0},            // master 0 still starts
      {500, 100, 1, 1, 0, 1, 1, 0},           {100, -40, 1, 1, 0, 0, 1, 0},         // settings beyond 0..100
      {50, 50, 1, -1, 0, 0, 1, 0},            {50, 50, 1, NAN, 0, 0, 1, 0},
      {50, 50, 8, 1, 0, 0.25f, 4, 0},         {50, 50, 0, 1, 0, 0.25f, 0.25f, 0},
      {50, 50, NAN, 1, 0, 0.25f, 0.25f, 0},   {50, 50, 0.95f, 1, 0, 0.25f, 0.95f, 0},
      {50, 50, 1, 1, 2, 0.25f, 1, 1},         {50, 50, 1, 1, -3, 0.25f, 1, -1},
      {50, 50, 1, 1, NAN, 0.25f, 1, 0},       {50, 50, 1, 1, -0.5f, 0.25f, 1, -0.5f},
  };
  for (const Case& c : cases) {
    Audio.Recorded.clear();
    Core.SetupValues[SetupSound] = c.sound;
    Core.SetupValues[SetupMaster] = c.master;
    PlaySfx(98, c.rate, c.volume, c.pan);
    const auto started = Started();
    ASSERT_EQ(started.size(), 1u) << c.sound << " " << c.master;
    EXPECT_FLOAT_EQ(started[0].Volume, c.gain) << c.sound << " " << c.master << " " << c.volume;
    EXPECT_FLOAT_EQ(started[0].Rate, c.playedRate) << c.rate;
    EXPECT_FLOAT_EQ(started[0].Pan, c.playedPan) << c.pan;
    EXPECT_EQ(started[0].Sound, Audio.SoundBank[98].get());
  }
}

TEST_F(SoundEffectsTest, EffectsTakeTheRingOfVoicesInTurn) {
  PlaySfx(98, 1, 1, 0);
  EXPECT_EQ(Audio.SfxCursor, 21);
  ASSERT_NE(Audio.ChannelTable[21], nullptr);
  const std::shared_ptr<TChannel> first = Audio.ChannelTable[21];
  const int firstNumber = Started().back().Channel;

  // Nothing moves the ring when effects are off or the sound is missing.
  Core.SetupValues[SetupSound] = 0;
  PlaySfx(98, 1, 1, 0);
  Core.SetupValues[SetupSound] = 50;
  for (int n : {97, 0, -1, 201, 100000}) PlaySfx(n, 1, 1, 0);
  EXPECT_EQ(Audio.SfxCursor, 21);
  EXPECT_EQ(Started().size(), 1u);

  // 236 voices sound at once; the 237th effect stops the first, still sounding, and takes its place.
  for (int i = 2; i <= 236; ++i) PlaySfx(98, 1, 1, 0);
  EXPECT_EQ(Audio.SfxCursor, 20);
  EXPECT_TRUE(first->Playing());
  PlaySfx(98, 1, 1, 0);
  EXPECT_EQ(Audio.SfxCursor, 21);
  EXPECT_FALSE(first->Playing());
  EXPECT_EQ(Audio.Recorded[Audio.Recorded.size() - 6].What, AudioEvent::Stopped);  // then cue, three settings, start
  EXPECT_EQ(Audio.Recorded[Audio.Recorded.size() - 6].Channel, firstNumber);
  EXPECT_NE(Audio.ChannelTable[21], first);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(Audio.ChannelTable[i], nullptr);  // the composer's
  EXPECT_EQ(Audio.ChannelTable[256], nullptr);

  // A voice that has finished stays in its place and is used again.
  Audio.SoundBank[5] = SoundOf(100);
  PlaySfx(5, 1, 1, 0);
  const std::shared_ptr<TChannel> shortOne = Audio.ChannelTable[22];
  SleepMs(101);
  EXPECT_FALSE(shortOne->Playing());
  Audio.SfxCursor = 21;
  PlaySfx(5, 1, 1, 0);
  EXPECT_EQ(Audio.ChannelTable[22], shortOne);
  EXPECT_TRUE(shortOne->Playing());
}

TEST_F(SoundEffectsTest, TheMusicTrackReplacesTheLastAndEndsInTime) {
  auto loop = SoundOf(30000);
  Core.SetupValues[SetupMusic] = 80;
  Core.SetupValues[SetupMaster] = 50;
  PlayMusicTrack(loop);
  ASSERT_NE(Audio.MusicTrackChannel, nullptr);
  const auto first = Audio.MusicTrackChannel;
  EXPECT_TRUE(first->Playing());
  EXPECT_FLOAT_EQ(Started().back().Volume, 0.4f);
  EXPECT_FLOAT_EQ(Started().back().Pan, 0.0f);
  EXPECT_FLOAT_EQ(Started().back().Rate, 1.0f);

  PlayMusicTrack(loop);
  EXPECT_FALSE(first->Playing());
  EXPECT_NE(Audio.MusicTrackChannel, first);

  // The game restarts the track once it has stopped playing.
  SleepMs(30001);
  EXPECT_FALSE(Audio.MusicTrackChannel->Playing());

  // Music volume 0: nothing starts, whatever was there stays.
  Core.SetupValues[SetupMusic] = 0;
  const auto last = Audio.MusicTrackChannel;
  const size_t events = Audio.Recorded.size();
  PlayMusicTrack(loop);
  EXPECT_EQ(Audio.MusicTrackChannel, last);
  EXPECT_EQ(Audio.Recorded.size(), events);

  Core.SetupValues[SetupMusic] = 150;  // beyond 100 from a hand-edited setup file
  Core.SetupValues[SetupMaster] = 100;
  PlayMusicTrack(loop);
  EXPECT_FLOAT_EQ(Started().back().Volume, 1.0f);
  PlayMusicTrack(nullptr);  // a missing track: the old one stops, nothing plays
  EXPECT_EQ(Audio.MusicTrackChannel, nullptr);
}

TEST_F(SoundEffectsTest, TheStartUpJingleSoundsOnItsOwnVoice) {
  Core.SetupValues[SetupSound] = 40;
  Core.SetupValues[SetupMaster] = 50;
  PlayStartJingle(SoundOf(2000));
  ASSERT_NE(Audio.ChannelTable[256], nullptr);
  EXPECT_TRUE(Audio.ChannelTable[256]->Playing());
  EXPECT_FLOAT_EQ(Started().back().Volume, 0.2f);
  EXPECT_EQ(Audio.SfxCursor, 20);  // the effect ring is untouched

  ResetAllState();
  PlayStartJingle(nullptr);
  EXPECT_EQ(Audio.ChannelTable[256], nullptr);
}

// Without any working back end every operation still runs, silently.
TEST_F(SoundEffectsTest, NoBackEndMeansSilenceNotFailure) {
  EXPECT_FALSE(SelectAudioDriver("No Such Driver"));
  EXPECT_EQ(NewChannel(), nullptr);
  EXPECT_EQ(LoadSoundFile("anything.wav"), nullptr);
  PlaySfx(98, 1, 1, 0);  // a sound of the old back end, no voice to put it on
  EXPECT_EQ(Audio.ChannelTable[21], nullptr);
  PlayMusicTrack(Audio.SoundBank[98]);
  EXPECT_EQ(Audio.MusicTrackChannel, nullptr);
  PlayStartJingle(Audio.SoundBank[98]);
  EXPECT_EQ(Audio.ChannelTable[256], nullptr);
}
