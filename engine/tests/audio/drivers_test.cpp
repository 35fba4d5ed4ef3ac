#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <thread>

#include "audio/audio.h"
#include "display/display.h"
#include "input/input.h"
#include "support/test_support.h"

namespace {

SoundSamples Tone(int ms, int rate = 8000) {
  SoundSamples s;
  s.Rate = rate;
  s.Channels = 1;
  for (int i = 0; i < ms * rate / 1000; ++i) s.Samples.push_back(static_cast<int16_t>(i % 40 < 20 ? 3000 : -3000));
  return s;
}

// Waits, in real time, for a voice played by a device's own thread to end.
bool EndsWithin(TChannel& channel, int ms) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < until) {
    if (!channel.Playing()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

// Sets an environment variable for the life of the object.
struct ScopedEnv {
  ScopedEnv(const char* name, const char* value) : Name(name) { setenv(name, value, 1); }
  ~ScopedEnv() { unsetenv(Name); }
  const char* Name;
};

}  // namespace

class AudioDriversTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetAllState(); }
  void TearDown() override { ResetAudioState(); }
};

TEST_F(AudioDriversTest, TheRegistryFindsBackEndsByNameWithoutLetterCase) {
  EXPECT_EQ(ListAudioDrivers(), std::vector<std::string>{"FreeMix"});
  EXPECT_TRUE(HasAudioDriver("freemix"));
  EXPECT_TRUE(HasAudioDriver("FREEMIX"));
  EXPECT_FALSE(HasAudioDriver("FreeMix2"));
  EXPECT_FALSE(HasAudioDriver(""));
  EXPECT_TRUE(SelectAudioDriver("FREEMIX"));
  EXPECT_EQ(Audio.Current->Name(), "FreeMix");
  EXPECT_FALSE(SelectAudioDriver("DirectSound"));
  EXPECT_EQ(Audio.Current, nullptr);  // a failed selection leaves no output
  EXPECT_EQ(NewChannel(), nullptr);
}

TEST_F(AudioDriversTest, TheFirstBackEndStartsOnFirstUseUnlessOneWasSelected) {
  EXPECT_EQ(Audio.Current, nullptr);
  ASSERT_NE(NewChannel(), nullptr);
  EXPECT_EQ(Audio.Current->Name(), "FreeMix");
}

TEST_F(AudioDriversTest, WithoutTheOpenALLibraryNothingIsAddedAndTheAnswerStays) {
  Audio.OpenALFile = "libopenal-that-is-not-there.so.1";
  EXPECT_FALSE(EnableOpenAL());
  EXPECT_EQ(ListAudioDrivers(), std::vector<std::string>{"FreeMix"});
  Audio.OpenALFile = "libopenal.so.1";
  EXPECT_FALSE(EnableOpenAL());  // only the first call does the work
}

// Without a device FreeMix plays nothing, but its voices last as long as their sounds on the clock.
TEST_F(AudioDriversTest, FreeMixWithoutADeviceKeepsTimeSilently) {
  TempDir dir;
  ASSERT_TRUE(SelectAudioDriver("FreeMix"));
  // 0.5 s of 16-bit mono at 8000 frames per second.
  std::string wav = "RIFF----WAVEfmt ";
  const char fmt[] = {16, 0, 0, 0, 1, 0, 1, 0, 0x40, 0x1F, 0, 0, (char)0x80, 0x3E, 0, 0, 2, 0, 16, 0};
  wav.append(fmt, sizeof fmt);
  wav += "data";
  const uint32_t bytes = 8000;
  wav.append(reinterpret_cast<const char*>(&bytes), 4);
  wav.append(bytes, '\x10');
  WriteFile(dir.file("half.wav"), wav);
  auto sound = LoadSoundFile(dir.file("half.wav"));
  ASSERT_NE(sound, nullptr);
  EXPECT_EQ(LoadSoundFile(dir.file("missing.wav")), nullptr);

  auto channel = sound->Cue();
  ASSERT_NE(channel, nullptr);
  EXPECT_FALSE(channel->Playing());
  channel->SetPaused(false);
  SleepMs(499);
  EXPECT_TRUE(channel->Playing());
  SleepMs(2);
  EXPECT_FALSE(channel->Playing());
  EXPECT_EQ(sound->Play(channel), channel);
  EXPECT_TRUE(channel->Playing());
  channel->Stop();
  EXPECT_FALSE(channel->Playing());

  // A sound whose back end was shut down stays usable, silently.
  ResetAudioState();
  auto late = sound->Play();
  ASSERT_NE(late, nullptr);
  late->SetVolume(0.5f);
  late->Stop();
  EXPECT_FALSE(late->Playing());
}

// Through SDL's "dummy" output: a real device, mixing on its own thread.
TEST_F(AudioDriversTest, FreeMixMixesOnADevicesThread) {
  ScopedEnv driver("SDL_AUDIODRIVER", "dummy");
  Audio.DeviceOutput = true;
  ASSERT_TRUE(SelectAudioDriver("FreeMix"));
  auto channel = CreateSound(Tone(50))->Play();
  ASSERT_NE(channel, nullptr);
  EXPECT_TRUE(EndsWithin(*channel, 5000));
  ResetAudioState();  // closes the device
}

TEST_F(AudioDriversTest, TheRecordingBackEndRecordsWhatItIsAskedToDo) {
  UseRecordingAudio();
  EXPECT_EQ(ListAudioDrivers(), (std::vector<std::string>{"FreeMix", "Recording"}));
  auto sound = CreateSound(Tone(100));
  ASSERT_NE(sound, nullptr);
  auto channel = sound->Cue();
  channel->SetVolume(3);
  channel->SetPan(-0.5f);
  channel->SetRate(2);
  channel->SetPaused(false);
  SleepMs(49);
  EXPECT_TRUE(channel->Playing());
  SleepMs(1);
  EXPECT_FALSE(channel->Playing());  // 100 ms at double speed
  ASSERT_EQ(Audio.Recorded.size(), 5u);
  const AudioEvent& start = Audio.Recorded.back();
  EXPECT_EQ(start.What, AudioEvent::Started);
  EXPECT_EQ(start.Channel, 1);
  EXPECT_EQ(start.Sound, sound.get());
  EXPECT_FLOAT_EQ(start.Volume, 1.0f);
  EXPECT_FLOAT_EQ(start.Pan, -0.5f);
  EXPECT_FLOAT_EQ(start.Rate, 2.0f);
  EXPECT_EQ(start.Time, 1000u);
  EXPECT_EQ(CreateSound(SoundSamples{}), nullptr);
}

// OpenAL where the library is installed; its "null" output needs no audio device.
TEST_F(AudioDriversTest, OpenALBackEndsPlayWhenTheLibraryLoads) {
  ScopedEnv output("ALSOFT_DRIVERS", "null");
  if (!EnableOpenAL()) GTEST_SKIP() << "libopenal.so.1 is not installed";
  const std::vector<std::string> names = ListAudioDrivers();
  ASSERT_GE(names.size(), 2u);
  EXPECT_EQ(names[0], "FreeMix");
  EXPECT_EQ(names[1], "OpenAL Default");
  for (size_t i = 2; i < names.size(); ++i) EXPECT_TRUE(names[i].starts_with("OpenAL ")) << names[i];
  EXPECT_TRUE(EnableOpenAL());

  ASSERT_TRUE(SelectAudioDriver("openal default"));
  auto sound = CreateSound(Tone(50));
  ASSERT_NE(sound, nullptr);
  auto channel = sound->Cue();
  ASSERT_NE(channel, nullptr);
  EXPECT_FALSE(channel->Playing());
  channel->SetVolume(0.5f);
  channel->SetPan(-1);
  channel->SetRate(1.5f);
  channel->SetPaused(false);
  EXPECT_TRUE(EndsWithin(*channel, 5000));
  channel->SetPaused(false);  // an ended voice does not start again by itself
  EXPECT_FALSE(channel->Playing());

  // A voice cued again plays again, from its start, whether it ended or was stopped: the effect
  // ring reuses its voices this way.
  EXPECT_EQ(sound->Cue(channel), channel);
  EXPECT_FALSE(channel->Playing());
  channel->SetPaused(false);
  EXPECT_TRUE(channel->Playing());
  channel->Stop();
  EXPECT_FALSE(channel->Playing());
  sound->Cue(channel);
  channel->SetPaused(false);
  EXPECT_TRUE(channel->Playing());
  EXPECT_TRUE(EndsWithin(*channel, 5000));

  auto looped = CreateSound(Tone(20), SoundLoop)->Play();
  EXPECT_FALSE(EndsWithin(*looped, 200));
  looped->SetPaused(true);
  EXPECT_FALSE(looped->Playing());
  looped->Stop();

  TempDir dir;
  WriteFile(dir.file("bad.wav"), "RIFF....WAVEjunk");
  EXPECT_EQ(LoadSoundFile(dir.file("bad.wav")), nullptr);

  // Back to FreeMix: the OpenAL voices go quiet and stay harmless.
  ASSERT_TRUE(SelectAudioDriver("FreeMix"));
  channel->SetPaused(false);
  EXPECT_FALSE(channel->Playing());
  EXPECT_NE(sound->Cue(), nullptr);
}

// An audio device that goes away while the game runs: sound goes silent without stopping or
// blocking anything, the voices keep time, and sound comes back when a device is there again.
TEST_F(AudioDriversTest, AVanishedDeviceGoesSilentAndSoundComesBackWithANewOne) {
  auto device = std::make_shared<ScriptedOutput>();
  Audio.OutputScript = device;
  Audio.DeviceOutput = true;
  ASSERT_TRUE(SelectAudioDriver("FreeMix"));
  ASSERT_TRUE(device->IsOpen);
  auto level = [&] {
    std::vector<float> out(2 * 441);
    device->Pull(out.data(), 441);
    float peak = 0;
    for (float v : out) peak = std::max(peak, std::fabs(v));
    return peak;
  };
  auto sound = CreateSound(Tone(1000));
  auto channel = sound->Play();
  EXPECT_GT(level(), 0.05f);

  device->Present = false;  // unplugged
  FrameEnd(0);
  EXPECT_FALSE(device->IsOpen);
  EXPECT_EQ(device->Pull, nullptr);
  EXPECT_TRUE(channel->Playing());  // in time by the clock, not cut
  device->Present = true;
  FrameEnd(0);
  EXPECT_FALSE(device->IsOpen);  // tried again only once a second
  device->Present = false;
  SleepMs(1100);
  EXPECT_FALSE(channel->Playing());
  PlaySfx(1, 1, 1, 0);  // still answers
  auto silent = sound->Play();
  EXPECT_TRUE(silent->Playing());
  FrameEnd(0);  // a try that finds nothing

  device->Present = true;  // a device again: taken within a second
  FrameEnd(0);
  EXPECT_FALSE(device->IsOpen);
  SleepMs(1000);
  FrameEnd(0);
  ASSERT_TRUE(device->IsOpen);
  EXPECT_EQ(device->Opens, 2);
  auto again = sound->Play();
  EXPECT_GT(level(), 0.05f);
  EXPECT_TRUE(again->Playing());
}
