// audio: sound output through a back end chosen by name at start-up, sounds read from RIFF WAVE and
// Ogg Vorbis files, and the program's sound effects, music track and start-up jingle.
//
// The music composer plays two drum voices, a bass, a melody and an accompaniment from short samples
// and a text file of patterns, recombined at random (reproducibly from a seed) every cycle of 64
// steps; the frame end ticks it once per frame.
//
// Back ends: "FreeMix" (our own mixer over SDL's audio output; without an audio device it stays
// silent and moves its voices on by the program clock, so they still end in time; offline it mixes
// into a buffer only when asked), "OpenAL Default" and "OpenAL " + device name (only when
// libopenal.so.1 loads), and "Recording" for tests.
// Sounds and channels are shared references; nullptr means none, and every operation given none
// does nothing.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// ---- Sounds, channels, back ends ---------------------------------------------------------------------
// A voice.
class TChannel {
 public:
  virtual ~TChannel() = default;
  virtual void Stop() = 0;                  // silences the voice; it can be cued again
  virtual void SetPaused(bool paused) = 0;  // false starts or resumes a cued or paused voice
  virtual void SetVolume(float volume) = 0; // gain 0..1
  virtual void SetPan(float pan) = 0;       // -1 left .. 1 right
  virtual void SetDepth(float depth) = 0;   // unused by the program
  virtual void SetRate(float rate) = 0;     // speed and pitch factor, 1 as recorded
  virtual bool Playing() = 0;               // started, not paused, not at its end, not stopped
};

// A loaded sound.
class TSound {
 public:
  virtual ~TSound() = default;
  // Starts the sound at once on channel (a new one when none); returns the channel used.
  std::shared_ptr<TChannel> Play(std::shared_ptr<TChannel> channel = nullptr) {
    auto used = Cue(std::move(channel));
    if (used) used->SetPaused(false);
    return used;
  }
  // Prepares the sound on channel (a new one when none), paused at its start; returns the channel.
  virtual std::shared_ptr<TChannel> Cue(std::shared_ptr<TChannel> channel = nullptr) = 0;
};

// Decoded sound samples: 16-bit, interleaved.
struct SoundSamples {
  int Rate = 0;      // frames per second
  int Channels = 0;  // 1 mono, 2 stereo (left first)
  std::vector<int16_t> Samples;
  size_t Frames() const { return Channels > 0 ? Samples.size() / static_cast<size_t>(Channels) : 0; }
};

inline constexpr int SoundLoop = 1;  // sound flag: the sound repeats until stopped

// An audio back end.
class TAudioDriver {
 public:
  virtual ~TAudioDriver() = default;
  virtual std::string Name() = 0;
  virtual bool Startup() = 0;  // false when it cannot run
  virtual void Shutdown() = 0;
  virtual std::shared_ptr<TSound> CreateSound(std::shared_ptr<const SoundSamples> samples, int flags) = 0;
  virtual std::shared_ptr<TChannel> AllocChannel() = 0;
  // A RIFF WAVE or Ogg Vorbis file as a sound; nullptr when missing or undecodable.
  virtual std::shared_ptr<TSound> LoadSound(const std::string& path, int flags) = 0;
  // Once a frame: the back end looks after its output device (FreeMix: a device that went away is
  // closed and sound goes silent; a default device is tried again every second until one opens).
  virtual void Service() {}
};

// A sound output device as a test scripts it in place of SDL's: FreeMix opens it while it is
// present, the test pulls mixed output through Pull while it is open, and FreeMix notices when it is
// no longer present (unplugged) at its next service.
struct ScriptedOutput {
  bool Present = true;
  bool IsOpen = false;
  int Opens = 0;  // times FreeMix opened it
  std::function<void(float* out, int frames)> Pull;  // while open: interleaved stereo from the mixer
};

// One operation on a voice of the recording back end.
struct AudioEvent {
  enum Kind { Cued, Started, Paused, Stopped, VolumeSet, PanSet, RateSet } What = Cued;
  int Channel = 0;                // the channel's number, from 1 in the order they were made
  const TSound* Sound = nullptr;  // the sound cued on it
  float Volume = 1, Pan = 0, Rate = 1;  // the channel's settings after the operation
  uint32_t Time = 0;              // ms, ClockMs()
};

// ---- The music composer's state ------------------------------------------------------------------
// Pattern sections of a music file, in the order the composer numbers them.
enum MusicSection { SectionDrums, SectionChords, SectionBass, SectionMelody, SectionAccompany };
inline constexpr int MusicStoredPatterns = 998;  // patterns kept per section; later lines only count

struct MusicState {
  bool playing = false;        // false until StartMusic finds its file
  int64_t seed = 0;            // the seed given at start (the clock's value for -1)
  int stepMs = 0;              // ms per step
  uint32_t nextStepTime = 0;   // ms, ClockMs() at which the next step is due
  int step = -1;               // 0..63 within the cycle; -1 before the first step
  int bar = -1;                // cycle within the chord progression, from 1; -1 before the first
  int cycles = -1;             // cycles composed so far
  std::string chords;          // the progression: one chord root a quarter cycle
  float panAmount = 0.3f;
  std::array<std::array<float, 64>, 5> grid{};  // voices 0..4: kit sample (drums) or note ratio, 0 silent
  std::array<int, 20> muted{}, nextMuted{};     // per voice, 0/1: now, and in the next progression
  std::array<int, 20> style{};                  // per voice: 1 comes in a chord early, 2 eight steps early
  std::array<int, 4> instrument{};              // 1..3: the bass, lead and accompaniment number
  std::string drum1, drum2, bass, melody, accompaniment;  // the patterns in use, stretched

  // The music file: per section the stored patterns (pattern n at n - 1), how many lines there were,
  // and the stretch mode: -1 none given, 0 FALSE, 1 RANDOM, 2 RANDOM+, -2 DOUBLE.
  std::array<std::vector<std::string>, 5> Patterns;
  std::array<int, 5> PatternCount{};
  std::array<int, 5> StretchMode{-1, -1, -1, -1, -1};
};

// ---- State ---------------------------------------------------------------------------------------
struct OpenALLibrary;
class Mixer;

struct AudioState {
  std::vector<std::shared_ptr<TAudioDriver>> Drivers;  // in registration order
  // The back ends' names as start-up listed them: the setup file stores an index into this list,
  // and the settings panel offers its first six.
  std::vector<std::string> DriverList;
  std::shared_ptr<TAudioDriver> Current;               // the running back end, none after a failure
  bool DefaultPending = true;   // the first back end starts on first use unless one is selected
  bool DeviceOutput = true;     // false: FreeMix never opens an audio device (tests stay silent)
  std::shared_ptr<ScriptedOutput> OutputScript;  // set: FreeMix's device is this one, not SDL's
  bool OpenALChecked = false, OpenALAvailable = false;
  std::string OpenALFile = "libopenal.so.1";  // the library EnableOpenAL tries
  std::shared_ptr<OpenALLibrary> OpenAL;  // the loaded library's entry points
  std::vector<AudioEvent> Recorded;  // what the recording back end was asked to do
  int OfflineRate = 0;                // > 0: FreeMix starts without a device, mixing at this rate on demand
  std::weak_ptr<Mixer> OfflineMixer;  // FreeMix's mixer of its last offline start

  // Sound effects and music.
  std::array<std::shared_ptr<TSound>, 201> SoundBank;       // 1..200: 001.wav..200.wav
  std::array<std::shared_ptr<TChannel>, 260> ChannelTable;  // 0..19 composer, 20..255 effects, 256 jingle
  int SfxCursor = 20;                                       // the effect ring's last index used
  std::shared_ptr<TChannel> MusicTrackChannel;

  // The music composer's samples: 1..8 drum kit 1, 11..18 kit 2, 21..28 bass, 31..38 lead,
  // 41..48 accompaniment; InstrumentCount[1..3] the highest bass, lead and accompaniment number found.
  std::array<std::shared_ptr<TSound>, 49> MusicSamples;
  std::array<int, 4> InstrumentCount{};
  MusicState Music;
};
extern AudioState Audio;

// Fresh audio state (tests): "FreeMix" registered, nothing running.
void ResetAudioState();

// ---- Back ends -------------------------------------------------------------------------------------
// Names of the back ends available, in registration order, at most 100.
std::vector<std::string> ListAudioDrivers();
// Whether a back end of that name exists (letter case ignored).
bool HasAudioDriver(const std::string& name);
// Shuts the current back end down and starts the one of that name; false (and no sound output)
// when none matches or it cannot start.
bool SelectAudioDriver(const std::string& name);
// Registers the OpenAL back ends when libopenal.so.1 loads; the first answer stays.
bool EnableOpenAL();
// Registers and selects the back end "Recording" (tests): it plays nothing, its voices end by the
// clock, and it appends what it is asked to do to Audio.Recorded.
void UseRecordingAudio();
// Selects "FreeMix" without an audio device, mixing at rate frames per second only when MixOffline
// asks (rendering to a file): its voices stand still between calls. False when it cannot start.
bool UseOfflineMixing(int rate);
// The next frames of the offline mix as interleaved stereo, each sample -1..1; silence when FreeMix
// is not running offline.
void MixOffline(float* out, int frames);

// The running back end's service of every frame (the frame end calls it).
void ServiceAudio();

// A sound file through the current back end; nullptr when missing, undecodable or no back end.
std::shared_ptr<TSound> LoadSoundFile(const std::string& path, int flags = 0);
// Samples as a sound of the current back end.
std::shared_ptr<TSound> CreateSound(SoundSamples samples, int flags = 0);
// A fresh, idle voice of the current back end; nullptr without one.
std::shared_ptr<TChannel> NewChannel();

// ---- Sound effects and music -------------------------------------------------------------------------
// Plays SoundBank[n] on the next voice of the effect ring: rate 0.25..4, volume 0..1 scaled by the
// master and sound volumes, pan -1..1. Nothing when the sound volume is 0 or the entry is empty.
void PlaySfx(int n, float rate, float volume, float pan);
// Starts sound as the music track in place of the previous one, at the master and music volumes.
void PlayMusicTrack(const std::shared_ptr<TSound>& sound);
// Starts the start-up jingle on ChannelTable[256] at the master and sound volumes.
void PlayStartJingle(const std::shared_ptr<TSound>& sound);
// Gain of an effect (volume factor 0..1) and of the music track from the volume settings.
float SfxGain(float volume);
float MusicGain();

// ---- Music composer ------------------------------------------------------------------------------------
// Loads the composer's samples from "music/": d1-1..8.wav, d2-1..8.wav, and bass, lead and accompany
// 1..8 with InstrumentCount[1..3] the highest number whose file exists.
void LoadMusicSamples();
// Reads "music/" + name + ".ini" and starts composing from seed (-1: the clock's value); tempo is
// twice the step length in ms. A missing file leaves the composer as it was, with no patterns.
void StartMusic(const std::string& name, int64_t seed, int tempo);
// Plays the next step when it is due: at most one step a call, which the frame end makes once a frame.
void MusicTick();
// The pitch ratio of a pattern letter (two keyboard rows laid out like a piano, q = 1); 0 for a rest.
float NoteRatio(char letter);
// Renders seconds of the composer's music offline from "music/" + name + ".ini" in the working
// directory: the audio back end becomes FreeMix offline at 44 100 Hz, the clock a fake one advanced
// a frame (1/60 s) at a time with the composer ticked once per frame. Each frame's 735 stereo frames
// go to sink as 16-bit samples, left first. False (and nothing rendered) when the file is missing.
bool RenderMusic(const std::string& name, int64_t seed, int tempo, int seconds,
                 const std::function<void(const int16_t* samples, int frames)>& sink);
