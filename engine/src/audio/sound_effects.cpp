// Sound effects by number on a ring of voices, the music track, the start-up jingle, and the gains
// that the player's master, sound and music volumes give them.
#include <algorithm>
#include <cmath>

#include "audio/audio.h"
#include "core/core.h"

// A volume setting as a level 0..100: the setup file may hold any number.
static int Level(int entry) { return std::clamp(Core.SetupValues[entry], 0, 100); }

float SfxGain(float volume) {
  volume = volume >= 0.0f ? std::min(volume, 1.0f) : 0.0f;  // not a number: 0
  return static_cast<float>(Level(SetupSound) * Level(SetupMaster)) / 100.0f / 100.0f * volume;
}

float MusicGain() { return static_cast<float>(Level(SetupMusic) * Level(SetupMaster)) / 100.0f / 100.0f; }

void PlaySfx(int n, float rate, float volume, float pan) {
  if (Core.SetupValues[SetupSound] <= 0) return;  // effects off: the ring does not move either
  if (n < 0 || n >= static_cast<int>(Audio.SoundBank.size()) || !Audio.SoundBank[n]) return;
  // The ring of effect voices, 20..255: the oldest voice is the one reused.
  ++Audio.SfxCursor;
  if (Audio.SfxCursor < 20 || Audio.SfxCursor >= 256) Audio.SfxCursor = 20;

  rate = rate >= 0.25f ? std::min(rate, 4.0f) : 0.25f;  // not a number: 0.25
  pan = std::isnan(pan) ? 0.0f : std::clamp(pan, -1.0f, 1.0f);

  std::shared_ptr<TChannel>& channel = Audio.ChannelTable[Audio.SfxCursor];
  if (channel && channel->Playing()) {
    channel->Stop();
    channel.reset();
  }
  if (!channel) channel = NewChannel();
  if (!channel) return;  // no back end
  channel = Audio.SoundBank[n]->Cue(channel);
  channel->SetVolume(SfxGain(volume));
  channel->SetPan(pan);
  channel->SetRate(rate);
  channel->SetPaused(false);
}

void PlayMusicTrack(const std::shared_ptr<TSound>& sound) {
  if (Core.SetupValues[SetupMusic] <= 0) return;  // music off: nothing starts
  if (Audio.MusicTrackChannel) {
    Audio.MusicTrackChannel->Stop();
    Audio.MusicTrackChannel.reset();
  }
  if (!sound) return;
  std::shared_ptr<TChannel> channel = NewChannel();
  if (!channel) return;
  Audio.MusicTrackChannel = sound->Cue(channel);
  Audio.MusicTrackChannel->SetVolume(MusicGain());
  Audio.MusicTrackChannel->SetPaused(false);
}

void PlayStartJingle(const std::shared_ptr<TSound>& sound) {
  if (!sound) return;
  std::shared_ptr<TChannel> channel = NewChannel();
  if (!channel) return;
  Audio.ChannelTable[256] = sound->Cue(channel);
  Audio.ChannelTable[256]->SetVolume(SfxGain(1.0f));
  Audio.ChannelTable[256]->SetPaused(false);
}
