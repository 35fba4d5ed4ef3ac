// "Recording": the back end of tests. It plays nothing; its voices run by the program clock for as
// long as their sounds last, and every operation is appended to Audio.Recorded.
#include "audio/backend.h"
#include "input/input.h"

namespace {

class RecordingChannel : public TChannel {
 public:
  explicit RecordingChannel(int number) : Number(number) {}

  void Cue(const TSound* sound, double lengthMs, bool loop) {
    Sound = sound;
    LengthMs = lengthMs;
    Loop = loop;
    PlayedMs = 0;
    Now = State::Cued;
    Record(AudioEvent::Cued);
  }
  void Stop() override {
    Advance();
    Now = State::Idle;
    Record(AudioEvent::Stopped);
  }
  void SetPaused(bool paused) override {
    Advance();
    if (paused && Now == State::Running) {
      Now = State::Paused;
      Record(AudioEvent::Paused);
    } else if (!paused && (Now == State::Cued || Now == State::Paused)) {
      Now = State::Running;
      Record(AudioEvent::Started);
    }
  }
  void SetVolume(float volume) override {
    Volume = ClampVolume(volume);
    Record(AudioEvent::VolumeSet);
  }
  void SetPan(float pan) override {
    Pan = ClampPan(pan);
    Record(AudioEvent::PanSet);
  }
  void SetDepth(float) override {}
  void SetRate(float rate) override {
    Advance();
    Rate = ClampRate(rate);
    Record(AudioEvent::RateSet);
  }
  bool Playing() override {
    Advance();
    return Now == State::Running;
  }

 private:
  enum class State { Idle, Cued, Running, Paused };

  // Moves a running voice on by the time passed since the last look, at its rate.
  void Advance() {
    const uint32_t now = ClockMs();
    const int32_t elapsed = static_cast<int32_t>(now - LastLook);
    LastLook = now;
    if (Now != State::Running || elapsed <= 0) return;
    PlayedMs += elapsed * static_cast<double>(Rate);
    if (!Loop && PlayedMs >= LengthMs) Now = State::Idle;
  }

  void Record(AudioEvent::Kind what) {
    AudioEvent e;
    e.What = what;
    e.Channel = Number;
    e.Sound = Sound;
    e.Volume = Volume;
    e.Pan = Pan;
    e.Rate = Rate;
    e.Time = ClockMs();
    Audio.Recorded.push_back(e);
  }

  int Number;
  const TSound* Sound = nullptr;
  double LengthMs = 0, PlayedMs = 0;  // in the sound's own time
  bool Loop = false;
  State Now = State::Idle;
  float Volume = 1, Pan = 0, Rate = 1;
  uint32_t LastLook = ClockMs();
};

class RecordingSound : public TSound {
 public:
  RecordingSound(std::shared_ptr<int> channels, double lengthMs, bool loop)
      : Channels(std::move(channels)), LengthMs(lengthMs), Loop(loop) {}
  std::shared_ptr<TChannel> Cue(std::shared_ptr<TChannel> channel) override {
    auto own = std::dynamic_pointer_cast<RecordingChannel>(channel);
    if (!own) own = std::make_shared<RecordingChannel>(++*Channels);
    own->Cue(this, LengthMs, Loop);
    return own;
  }

 private:
  std::shared_ptr<int> Channels;  // the driver's count of channels made
  double LengthMs;
  bool Loop;
};

class RecordingDriver : public TAudioDriver {
 public:
  std::string Name() override { return "Recording"; }
  bool Startup() override { return true; }
  void Shutdown() override {}
  std::shared_ptr<TSound> CreateSound(std::shared_ptr<const SoundSamples> samples, int flags) override {
    if (!samples || samples->Rate <= 0 || samples->Frames() == 0) return nullptr;
    const double lengthMs = 1000.0 * static_cast<double>(samples->Frames()) / samples->Rate;
    return std::make_shared<RecordingSound>(Channels, lengthMs, (flags & SoundLoop) != 0);
  }
  std::shared_ptr<TChannel> AllocChannel() override { return std::make_shared<RecordingChannel>(++*Channels); }
  std::shared_ptr<TSound> LoadSound(const std::string& path, int flags) override {
    return CreateSound(ReadSoundFile(path), flags);
  }

 private:
  std::shared_ptr<int> Channels = std::make_shared<int>(0);
};

}  // namespace

std::shared_ptr<TAudioDriver> MakeRecordingDriver() { return std::make_shared<RecordingDriver>(); }
