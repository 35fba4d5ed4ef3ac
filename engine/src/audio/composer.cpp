// The music composer: two drum voices, a bass, a melody and an accompaniment played from short
// samples, their patterns picked from a text file and recombined every cycle of 64 steps.
//
// Everything it picks comes from the shared random generator, reseeded from the music's seed, the
// cycle and a key of its own before every choice, so the same seed and file give the same music, and
// other users of the generator get sequences that depend on the music while it plays.
#include <algorithm>
#include <cmath>

#include "audio/audio.h"
#include "core/core.h"
#include "input/input.h"

namespace {

MusicState& Music() { return Audio.Music; }

// ---- Samples -----------------------------------------------------------------------------------------
// Sample slots: 1..8 drum kit 1, 11..18 kit 2, 21..28 bass, 31..38 lead, 41..48 accompaniment.
constexpr int KitSlot[2] = {0, 10};
constexpr int InstrumentSlot = 10;  // instrument k's n-th sample is at n + 10 + 10 k

// The sample of slot; nullptr when it is missing.
TSound* SampleAt(int slot) {
  return slot >= 1 && slot < static_cast<int>(Audio.MusicSamples.size()) ? Audio.MusicSamples[slot].get() : nullptr;
}

// Seeds the shared generator with seed x 1024 + offset, wrapping instead of overflowing for huge seeds.
void SeedMusic(int64_t seed, int64_t offset) {
  SeedRnd(static_cast<int64_t>(static_cast<uint64_t>(seed) * 1024u + static_cast<uint64_t>(offset)));
}

// ---- Patterns ----------------------------------------------------------------------------------------
// The keys that keep the five choices of a progression apart.
constexpr int KeyDrum1 = 3, KeyDrum2 = 7, KeyChordsAndBass = 13, KeyMelody = 19, KeyAccompaniment = 29;

// One blank after each character: twice as long, half as fast.
std::string Stretched(const std::string& pattern) {
  std::string out;
  out.reserve(pattern.size() * 2);
  for (char c : pattern) {
    out += c;
    out += ' ';
  }
  return out;
}

// Pattern number of section; empty for a number that was never stored (past the 998th, or none).
std::string StoredPattern(int section, int number) {
  const auto& stored = Music().Patterns[section];
  return number >= 1 && number <= static_cast<int>(stored.size()) ? stored[number - 1] : std::string();
}

// Picks a pattern of section with key: the generator reseeded from the seed, the cycle and the key,
// a few numbers thrown away, the pattern drawn, then r (0..2) for the stretch.
std::string ChoosePattern(int section, int key, bool stretch) {
  MusicState& m = Music();
  SeedMusic(m.seed, static_cast<int64_t>(m.bar) + m.cycles + key);
  for (int i = 0; i < key + m.cycles * 4; ++i) RandInt(0, 1000);
  const int count = m.PatternCount[section];
  const int number = RandInt(1, std::max(count, 1));  // no patterns: one draw all the same
  const int r = RandInt(0, 2);
  std::string pattern = count > 0 ? StoredPattern(section, number) : std::string();
  if (!stretch) return pattern;
  switch (m.StretchMode[section]) {
    case 0:  // FALSE
      return pattern;
    case 1:  // RANDOM: half speed two times in three
      return r > 0 ? Stretched(pattern) : pattern;
    case 2:  // RANDOM+: as written, half or quarter speed
      return r == 0 ? pattern : r == 1 ? Stretched(pattern) : Stretched(Stretched(pattern));
    case -2:  // DOUBLE
      return Stretched(Stretched(pattern));
    default:  // no STRETCH line
      return Stretched(pattern);
  }
}

// ---- Composing -----------------------------------------------------------------------------------------
// Integer value of a drum pattern's character: a digit, else 0 (silence).
float DrumValue(char c) { return c >= '0' && c <= '9' ? static_cast<float>(c - '0') : 0.0f; }

// Character index of pattern at step s, or -1 for an empty pattern (which plays nothing).
int PatternIndex(const std::string& pattern, int64_t s) {
  if (pattern.empty()) return -1;
  return static_cast<int>(s % static_cast<int64_t>(pattern.size()));
}

// A new progression: instruments, chords, mutes and styles, and the five patterns.
void NewProgression() {
  MusicState& m = Music();
  for (int k = 1; k <= 3; ++k) m.instrument[k] = RandInt(1, std::max(Audio.InstrumentCount[k], 1));
  m.bar = 1;
  m.chords = ChoosePattern(SectionChords, KeyChordsAndBass, false);
  for (size_t v = 0; v < m.muted.size(); ++v) {
    m.muted[v] = m.nextMuted[v];
    m.nextMuted[v] = RandInt(0, 1);
    m.style[v] = RandInt(1, 2);
  }
  // One drum voice at least, and the bass or the melody, always play.
  if (m.muted[0] && m.muted[1]) m.muted[RandInt(0, 1)] = 0;
  if (m.muted[2] && m.muted[3]) m.muted[RandInt(2, 3)] = 0;
  m.drum1 = ChoosePattern(SectionDrums, KeyDrum1, true);
  m.drum2 = ChoosePattern(SectionDrums, KeyDrum2, true);
  m.bass = ChoosePattern(SectionBass, KeyChordsAndBass, true);
  m.melody = ChoosePattern(SectionMelody, KeyMelody, true);
  m.accompaniment = ChoosePattern(SectionAccompany, KeyAccompaniment, true);
}

// The next cycle: a new progression when the chords have run out, then the grid of its 64 steps.
void ComposeCycle() {
  MusicState& m = Music();
  SeedMusic(m.seed, static_cast<int64_t>(m.bar) + m.cycles);
  m.cycles += 1;
  m.bar += 1;
  if (static_cast<int>(m.chords.size() / 4) < m.bar || m.chords.empty()) NewProgression();

  // Drum patterns restart every cycle; the others run on across the cycles of a progression.
  const int64_t runOn = static_cast<int64_t>(m.bar - 1) * 64;
  const std::string* pitched[3] = {&m.bass, &m.melody, &m.accompaniment};
  for (int s = 0; s < 64; ++s) {
    const int d1 = PatternIndex(m.drum1, s), d2 = PatternIndex(m.drum2, s);
    m.grid[0][s] = d1 < 0 ? 0.0f : DrumValue(m.drum1[d1]);
    m.grid[1][s] = d2 < 0 ? 0.0f : DrumValue(m.drum2[d2]);
    for (int v = 2; v <= 4; ++v) {
      const std::string& pattern = *pitched[v - 2];
      const int i = PatternIndex(pattern, s + runOn);
      m.grid[v][s] = i < 0 ? 0.0f : NoteRatio(pattern[i]);
    }
  }
}

// ---- Playing ----------------------------------------------------------------------------------------------
// Starts voice v's sample on a new voice of the back end, cutting the note it was playing.
void Sound(int v, TSound& sample, float rate) {
  MusicState& m = Music();
  std::shared_ptr<TChannel>& channel = Audio.ChannelTable[v];
  if (channel && channel->Playing()) channel->Stop();
  channel = NewChannel();
  if (!channel) return;  // no back end
  channel = sample.Cue(channel);
  // Voices: 0 and 4 to the right, 1 and 2 to the left, the melody in the centre; the accompaniment
  // at half the gain of the others.
  switch (v) {
    case 0:
    case 4:
      channel->SetPan(m.panAmount);
      break;
    case 1:
    case 2:
      channel->SetPan(-m.panAmount);
      break;
    default:
      break;
  }
  if (v >= 2) channel->SetRate(rate);
  channel->SetVolume(v == 4 ? MusicGain() / 2 : MusicGain());
  channel->SetPaused(false);
}

}  // namespace

// ---- Operations ---------------------------------------------------------------------------------------
float NoteRatio(char letter) {
  // Two keyboard rows laid out like a piano, lower octave from z, upper from q, then on from i.
  static constexpr char Keys[] = "zsxdcvgbhnjmq2w3er5t6y7ui9o0p[=]";
  static constexpr float Ratios[] = {0,     0.5295f, 0.561f,  0.5945f, 0.63f,  0.6675f, 0.707f, 0.749f,
                                     0.7935f, 0.841f, 0.891f, 0.944f,  1,      1.059f,  1.122f, 1.189f,
                                     1.26f,   1.335f, 1.414f, 1.498f,  1.587f, 1.682f,  1.782f, 1.888f,
                                     2,       2.118f, 2.244f, 2.378f,  2.52f,  2.67f,   2.828f, 2.996f};
  const char c = letter >= 'A' && letter <= 'Z' ? static_cast<char>(letter - 'A' + 'a') : letter;
  for (size_t i = 0; i + 1 < sizeof Keys; ++i)
    if (Keys[i] == c) return Ratios[i];
  return 0;
}

void LoadMusicSamples() {
  Audio.MusicSamples = {};
  Audio.InstrumentCount = {};
  static const char* const Instruments[3] = {"bass", "lead", "accompany"};
  for (int n = 1; n <= 8; ++n) {
    const std::string number = std::to_string(n);
    Audio.MusicSamples[KitSlot[0] + n] = LoadSoundFile("music/d1-" + number + ".wav", 0);
    Audio.MusicSamples[KitSlot[1] + n] = LoadSoundFile("music/d2-" + number + ".wav", 0);
    for (int k = 1; k <= 3; ++k) {
      const std::string name = "music/" + std::string(Instruments[k - 1]) + number + ".wav";
      if (!FileExists(name)) continue;
      Audio.InstrumentCount[k] = n;  // the highest number found, gaps below it allowed
      Audio.MusicSamples[n + InstrumentSlot + 10 * k] = LoadSoundFile(name, 0);
    }
  }
}

void StartMusic(const std::string& name, int64_t seed, int tempo) {
  MusicState& m = Music();
  for (int t = 0; t < 5; ++t) {
    m.Patterns[t].clear();
    m.PatternCount[t] = 0;
    m.StretchMode[t] = -1;
  }
  std::vector<std::string> lines;
  if (!ReadTextLines("music/" + name + ".ini", lines)) return;  // the composer keeps what it had

  static const char* const Headers[5] = {"[DRUMS", "[CHORDS", "[BASS", "[MELODY", "[ACCOMPANY"};
  int section = -1;  // lines before the first known header belong nowhere
  for (const std::string& raw : lines) {
    const std::string line = Trim(raw);
    if (line.empty()) continue;
    std::string upper = Upper(line);
    if (line[0] == '[') {
      std::erase(upper, ']');
      for (int t = 0; t < 5; ++t)
        if (upper == Headers[t]) section = t;  // another bracketed line keeps the section
    } else if (upper.compare(0, 7, "STRETCH") == 0) {
      if (section < 0) continue;
      const auto ends = [&](std::string_view end) { return upper.ends_with(end); };
      if (ends("FALSE")) m.StretchMode[section] = 0;
      else if (ends("RANDOM")) m.StretchMode[section] = 1;
      else if (ends("RANDOM+")) m.StretchMode[section] = 2;
      else if (ends("DOUBLE")) m.StretchMode[section] = -2;
    } else if (line[0] == '"') {
      if (section < 0) continue;
      // Every line counts; only the first 998 are kept.
      if (++m.PatternCount[section] <= MusicStoredPatterns) {
        std::string pattern = line;
        std::erase(pattern, '"');
        m.Patterns[section].push_back(std::move(pattern));
      }
    }
  }

  if (seed == -1) seed = ClockMs();
  SeedMusic(seed, 0);
  m.seed = seed;
  m.panAmount = 0.3f;
  m.chords.clear();
  m.step = -1;
  m.bar = -1;
  m.cycles = -1;
  m.nextStepTime = ClockMs();
  m.stepMs = tempo / 2;
  for (int& next : m.nextMuted) next = RandInt(0, 1);
  ComposeCycle();
  m.nextStepTime = ClockMs() + 250;
  m.playing = true;
}

void MusicTick() {
  MusicState& m = Music();
  if (!m.playing || static_cast<int32_t>(ClockMs() - m.nextStepTime) <= 0) return;
  m.nextStepTime += static_cast<uint32_t>(m.stepMs);
  if (++m.step >= 64) {
    m.step = 0;
    ComposeCycle();
  }

  // The chord of this quarter cycle, and how near the progression's end the step lies: 1 in its last
  // chord, 2 in its last eight steps. A chord past the string's end is a rest.
  const int length = static_cast<int>(m.chords.size());
  const int chord = m.step / 16 + (m.bar - 1) * 4;
  const float chordRatio = chord >= 0 && chord < length ? NoteRatio(m.chords[chord]) : 0.0f;
  int leadIn = 0;
  if (m.step / 8 + (m.bar - 1) * 8 >= 2 * length - 1) leadIn = 2;
  else if (chord >= length - 1) leadIn = 1;

  for (int v = 0; v < 5; ++v) {
    const float value = m.grid[v][m.step];
    // A muted voice that comes in with the next progression starts early: style 1 a chord before,
    // style 2 eight steps before.
    const bool comingIn = m.nextMuted[v] == 0 && ((leadIn == 1 && m.style[v] == 1) || leadIn == 2);
    if (m.muted[v] && !comingIn) continue;
    int slot;
    float rate = 1;
    if (v < 2) {
      const long kitSample = std::lround(value);
      if (kitSample < 1 || kitSample > 8) continue;
      slot = KitSlot[v] + static_cast<int>(kitSample);
    } else {
      rate = value * chordRatio;
      if (rate == 0) continue;  // a rest, or a rest chord
      const int number = m.instrument[v - 1];
      if (number < 1 || number > 8) continue;
      slot = number + InstrumentSlot + 10 * (v - 1);
    }
    TSound* sample = SampleAt(slot);
    if (!sample) continue;  // a missing sample plays like a rest
    Sound(v, *sample, rate);
  }
}
