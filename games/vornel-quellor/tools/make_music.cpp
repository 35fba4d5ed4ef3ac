// Writes the game's music into the game folder given as argument:
//   loop.ogg      "Falling Code": 32 bars at 126 beats a minute (60.95 s), A minor, stereo. Pads,
//                 plucked arpeggios, an octave bass, a lead melody and a drum kit, with reverb,
//                 a ping-pong echo and the pads ducking under the kick. It is rendered as a circle:
//                 the tails of the last bars (release, reverb, echo) are folded back onto the first,
//                 so the end joins the start exactly. The last bar thins out to a breath, so even a
//                 restart after a short gap does not click.
//   music/        the composer's samples, the same instruments recorded once each:
//                 d1-1..8   kit 1: kick, snare, closed hat, open hat, clap, low tom, high tom, crash
//                 d2-1..8   kit 2: boom kick, noise snare, shaker, ride, rim, cowbell, zap, glitch
//                 bass1..4  plucked saw, sub, FM, detuned saws, at C2 (the note "q" of a pattern)
//                 lead1..4  pulse, bell, supersaw, soft sine, at C4
//                 accompany1..3  plucked string, pad, electric piano, at C4
// (The composer's pattern file, music/theme.ini, is text kept beside this program.)
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "instruments.h"
#include "ogg_write.h"
#include "synth.h"
#include "wav_write.h"

namespace {

// ---- Composer samples ------------------------------------------------------------------------

bool WriteSample(const std::string& path, Wave w, float peak) {
  RemoveDc(w);
  FadeEdges(w, 0.0005, 0.01);
  NormalisePeak(w, peak);
  return WriteWav(path, w, 1, SampleRate);
}

bool WriteSamples(const std::string& folder) {
  const double bassHz = NoteHz(36), leadHz = NoteHz(60);
  const std::pair<std::string, Wave> samples[] = {
      {"d1-1", Kick(0.3f, 11)},      {"d1-2", Snare(0.5f, 12)},     {"d1-3", HiHat(0.04, 13)},
      {"d1-4", HiHat(0.3, 14)},      {"d1-5", Clap(15)},            {"d1-6", Tom(95, 16)},
      {"d1-7", Tom(150, 17)},        {"d1-8", Crash(18)},           {"d2-1", BoomKick(21)},
      {"d2-2", NoiseSnare(22)},      {"d2-3", Shaker(23)},          {"d2-4", Ride(24)},
      {"d2-5", Rim(25)},             {"d2-6", Cowbell(26)},         {"d2-7", ZapTom(27)},
      {"d2-8", Glitch(28)},          {"bass1", PluckBass(bassHz, 0.45)},
      {"bass2", SubBass(bassHz, 0.6)}, {"bass3", FmBass(bassHz, 0.45)},
      {"bass4", ReeseBass(bassHz, 0.7)}, {"lead1", PulseLead(leadHz, 0.45)},
      {"lead2", BellLead(leadHz, 0.3)},  {"lead3", SawLead(leadHz, 0.45)},
      {"lead4", SoftLead(leadHz, 0.5)},  {"accompany1", Pluck(leadHz, 0.6, 31)},
      {"accompany2", Pad(leadHz, 1.2, 32)}, {"accompany3", ElectricPiano(leadHz, 0.8)},
  };
  // Levels are set here because the composer plays every voice at the same gain.
  for (const auto& [name, wave] : samples) {
    float peak = 0.7f;
    if (name == "d1-3" || name == "d1-4" || name == "d2-3" || name == "d2-4") peak = 0.35f;
    if (name == "d1-8" || name == "d2-8" || name == "d2-5") peak = 0.45f;
    if (name == "d1-1" || name == "d2-1") peak = 0.85f;
    if (name.rfind("lead", 0) == 0) peak = 0.5f;
    if (!WriteSample(folder + "/" + name + ".wav", wave, peak)) return false;
  }
  return true;
}

// ---- The loop --------------------------------------------------------------------------------

constexpr int Bpm = 126;
constexpr size_t Step = SampleRate * 60 / (Bpm * 4);  // a sixteenth: 5250 samples
constexpr int Bars = 32;
constexpr size_t Loop = Bars * 16 * Step;              // 2 688 000 samples
constexpr size_t Tail = 4 * SampleRate;                // what rings on past the end

// Where a bar belongs in the arrangement.
enum class Part { Intro, Groove, Melody, Break, Climax, Outro };
Part PartOf(int bar) {
  if (bar < 4) return Part::Intro;
  if (bar < 12) return Part::Groove;
  if (bar < 20) return Part::Melody;
  if (bar < 24) return Part::Break;
  if (bar < 31) return Part::Climax;
  return Part::Outro;
}

// Am F C G: the pad voicings (MIDI notes) and the bass roots.
const int Voicings[4][3] = {{57, 60, 64}, {57, 60, 65}, {55, 60, 64}, {55, 59, 62}};
const int Roots[4] = {33, 29, 36, 31};

// The lead melody over two rounds of the progression: start step, length in steps, MIDI note.
struct Note {
  int step, length, midi;
};
const Note Melody[] = {
    {0, 4, 76},   {4, 2, 74},   {6, 2, 72},   {8, 6, 69},   {14, 2, 72},  {16, 4, 72},
    {20, 2, 74},  {22, 2, 76},  {24, 6, 76},  {30, 2, 72},  {32, 6, 79},  {38, 2, 76},
    {40, 4, 74},  {44, 4, 72},  {48, 8, 74},  {56, 4, 71},  {60, 4, 74},  {64, 4, 76},
    {68, 4, 81},  {72, 2, 79},  {74, 2, 76},  {76, 4, 74},  {80, 4, 72},  {84, 4, 69},
    {88, 2, 72},  {90, 2, 74},  {92, 4, 76},  {96, 4, 79},  {100, 4, 76}, {104, 4, 84},
    {108, 2, 83}, {110, 2, 79}, {112, 12, 81},
};

struct Mixer {
  Wave left, right, reverbSend, echoSend, duck;
  Mixer() {
    for (Wave* w : {&left, &right, &reverbSend, &echoSend}) w->assign(Loop + Tail, 0.f);
    duck.assign(Loop + Tail, 1.f);
  }
  // Adds a sound at sample `at`: gain, pan -1..1, the share sent to the reverb and the echo, and
  // whether it ducks under the kick.
  void Add(const Wave& w, size_t at, float gain, float pan, float reverb = 0, float echo = 0,
           bool ducked = false) {
    const float l = gain * std::sqrt((1 - pan) / 2), r = gain * std::sqrt((1 + pan) / 2);
    for (size_t i = 0; i < w.size() && at + i < left.size(); ++i) {
      const float s = ducked ? w[i] * duck[at + i] : w[i];
      left[at + i] += s * l, right[at + i] += s * r;
      reverbSend[at + i] += s * gain * reverb, echoSend[at + i] += s * gain * echo;
    }
  }
  // The kick pushes the ducked parts down by depth and lets them recover.
  void Duck(size_t at, float depth) {
    for (size_t i = 0; i < Step * 4 && at + i < duck.size(); ++i) {
      const float t = static_cast<float>(i) / SampleRate;
      duck[at + i] = std::min(duck[at + i], 1 - depth * std::exp(-t / 0.1f));
    }
  }
};

// Renders of pitched notes are kept: the same note of the same length sounds the same every time.
class NoteCache {
 public:
  template <typename Make>
  const Wave& Get(const std::string& key, Make make) {
    auto it = cache_.find(key);
    if (it == cache_.end()) it = cache_.emplace(key, make()).first;
    return it->second;
  }

 private:
  std::map<std::string, Wave> cache_;
};

std::string Key(const char* name, int midi, int steps) {
  return std::string(name) + "/" + std::to_string(midi) + "/" + std::to_string(steps);
}

std::vector<float> RenderLoop() {
  Mixer mix;
  NoteCache notes;
  const double stepSeconds = static_cast<double>(Step) / SampleRate;
  const Wave kick = Kick(0.3f, 101), snare = Snare(0.4f, 102), clap = Clap(103);
  const Wave closedHat = HiHat(0.035, 104), openHat = HiHat(0.22, 105), crash = Crash(106);
  const Wave shaker = Shaker(107), lowTom = Tom(100, 108), highTom = Tom(150, 109);

  // Drums first, because the kick shapes the ducking of everything after it.
  for (int bar = 0; bar < Bars; ++bar) {
    const Part part = PartOf(bar);
    const size_t barStart = bar * 16 * Step;
    const bool beat = part == Part::Groove || part == Part::Melody || part == Part::Climax;
    for (int s = 0; s < 16; ++s) {
      const size_t at = barStart + s * Step;
      const bool fill = (bar == 11 || bar == 19) && s >= 12;
      if ((beat && s % 4 == 0 && !fill) || (part == Part::Outro && s % 4 == 0 && s < 8)) {
        mix.Add(kick, at, 0.95f, 0);
        mix.Duck(at, 0.45f);
      }
      if ((beat || (part == Part::Outro && s < 8)) && (s == 4 || s == 12) && !fill) {
        mix.Add(snare, at, 0.45f, 0.05f, 0.25f);
        mix.Add(clap, at, 0.4f, -0.05f, 0.3f);
      }
      if (fill) mix.Add(s < 14 ? highTom : lowTom, at, 0.55f, s < 14 ? 0.3f : -0.3f, 0.2f);
      const bool hats = bar >= 2 && part != Part::Break && !(part == Part::Outro && s >= 8);
      if (hats) {
        const float level = (part == Part::Intro ? 0.12f : 0.2f) * (s % 2 ? 1.f : 0.6f);
        mix.Add(closedHat, at, level, 0.35f);
      }
      if ((part == Part::Melody || part == Part::Climax) && s % 4 == 2) mix.Add(openHat, at, 0.16f, -0.3f, 0.1f);
      if (part == Part::Break) mix.Add(shaker, at, s % 2 ? 0.22f : 0.14f, 0.4f, 0.1f);
      // The last bar of the break rolls the snare up into the climax.
      if (bar == 23) mix.Add(snare, at, 0.08f + 0.4f * s / 15, 0, 0.3f);
    }
    if (bar == 4 || bar == 12 || bar == 24) mix.Add(crash, barStart, 0.35f, -0.2f, 0.3f);
  }
  // A rising sweep of noise over the last bar of the break.
  {
    Rng rng(110);
    Filter sweep;
    const size_t start = 23 * 16 * Step, length = 16 * Step;
    Wave riser(length);
    for (size_t i = 0; i < length; ++i) {
      const float t = static_cast<float>(i) / length;
      sweep.Run(rng.Noise(), 300 * std::pow(2.f, 5 * t), 2);
      riser[i] = sweep.band * t * t;
    }
    mix.Add(riser, start, 0.5f, 0, 0.4f);
  }

  for (int bar = 0; bar < Bars; ++bar) {
    const Part part = PartOf(bar);
    const int chord = bar % 4;
    const size_t barStart = bar * 16 * Step;
    // Pads: the chord held through the bar (half of it in the last), fading in over the intro.
    const float padLevel = part == Part::Intro ? 0.1f + 0.05f * bar : (part == Part::Break ? 0.3f : 0.22f);
    const int padSteps = part == Part::Outro ? 8 : 16;
    for (int v = 0; v < 3; ++v) {
      const int midi = Voicings[chord][v];
      const Wave& pad = notes.Get(Key("pad", midi, padSteps),
                                  [&] { return Pad(NoteHz(midi), padSteps * stepSeconds, 200 + midi); });
      mix.Add(pad, barStart, padLevel, -0.5f + 0.5f * v, 0.35f, 0, true);
    }
    // Arpeggio: the chord's notes and their octaves in a rocking order, a sixteenth each.
    static constexpr int Order[16] = {0, 2, 1, 3, 2, 4, 3, 5, 4, 3, 2, 4, 1, 3, 0, 2};
    for (int s = 0; s < 16; ++s) {
      if (part == Part::Outro && s >= 10) break;
      const int k = Order[s];
      const int midi = Voicings[chord][k % 3] + 12 * (1 + k / 3);
      const Wave& pluck = notes.Get(Key("pluck", midi, 1),
                                    [&] { return Pluck(NoteHz(midi), stepSeconds, 300 + midi); });
      float level = (s % 4 == 0 ? 0.2f : 0.14f);
      if (part == Part::Intro) level *= 0.5f + 0.15f * bar;
      if (part == Part::Outro) level *= 1 - s / 12.f;
      mix.Add(pluck, barStart + s * Step, level, s % 2 ? 0.45f : -0.45f, 0.3f, 0.35f, true);
    }
    // Bass: octave eighths in the busy parts, long low notes in the intro and the break.
    const int root = Roots[chord];
    if (part == Part::Intro || part == Part::Break) {
      if (bar >= 2) {
        const Wave& sub = notes.Get(Key("sub", root + 12, 15),
                                    [&] { return SubBass(NoteHz(root + 12), 15 * stepSeconds); });
        mix.Add(sub, barStart, 0.45f, 0, 0, 0, true);
      }
    } else {
      for (int s = 0; s < 16; s += 2) {
        if (part == Part::Outro && s >= 8) break;
        const int midi = root + 12 + (s % 4 == 2 ? 12 : 0);
        const Wave& b = notes.Get(Key("bass", midi, 2), [&] { return PluckBass(NoteHz(midi), 1.6 * stepSeconds); });
        mix.Add(b, barStart + s * Step, s % 4 == 0 ? 0.42f : 0.34f, 0, 0, 0, true);
      }
    }
  }
  // The lead: the eight-bar melody in the melody part and again in the climax, doubled there by
  // bells an octave up; nothing of it runs into the outro.
  for (int firstBar : {12, 24}) {
    for (const Note& n : Melody) {
      const int step = firstBar * 16 + n.step;
      if (step + n.length > 31 * 16) continue;
      const size_t at = step * Step;
      const Wave& lead = notes.Get(Key("lead", n.midi, n.length),
                                   [&] { return SawLead(NoteHz(n.midi), (n.length - 0.3) * stepSeconds); });
      mix.Add(lead, at, 0.2f, 0.1f, 0.25f, 0.25f);
      if (firstBar == 24) {
        const Wave& bell = notes.Get(Key("bell", n.midi + 12, n.length),
                                     [&] { return BellLead(NoteHz(n.midi + 12), n.length * stepSeconds); });
        mix.Add(bell, at, 0.1f, -0.25f, 0.3f, 0.2f);
      }
    }
  }

  // Reverb and a ping-pong echo of three sixteenths, over the whole rendering including its tail.
  Reverb hall(0.62f, 0.4f);
  const size_t echoDelay = 3 * Step;
  Wave echoL(mix.left.size(), 0.f), echoR(mix.left.size(), 0.f);
  for (size_t i = 0; i < mix.left.size(); ++i) {
    if (i >= echoDelay) {
      echoL[i] = mix.echoSend[i - echoDelay] + 0.45f * echoR[i - echoDelay];
      echoR[i] = echoL[i - echoDelay];
    }
    float wetL = 0, wetR = 0;
    hall.Run(mix.reverbSend[i] + 0.3f * (echoL[i] + echoR[i]), wetL, wetR);
    mix.left[i] += wetL + 0.6f * echoL[i];
    mix.right[i] += wetR + 0.6f * echoR[i];
  }
  // Close the circle: what rings past the end sounds again over the start.
  for (size_t i = 0; i < Tail; ++i) mix.left[i] += mix.left[Loop + i], mix.right[i] += mix.right[Loop + i];
  mix.left.resize(Loop), mix.right.resize(Loop);
  // Level: remove any constant offset and bring the peak to -1 dBFS (both linear, so the seam holds).
  double meanL = 0, meanR = 0;
  for (size_t i = 0; i < Loop; ++i) meanL += mix.left[i], meanR += mix.right[i];
  meanL /= Loop, meanR /= Loop;
  float peak = 0;
  for (size_t i = 0; i < Loop; ++i) {
    mix.left[i] -= static_cast<float>(meanL), mix.right[i] -= static_cast<float>(meanR);
    peak = std::max({peak, std::fabs(mix.left[i]), std::fabs(mix.right[i])});
  }
  std::vector<float> out(2 * Loop);
  for (size_t i = 0; i < Loop; ++i) {
    out[2 * i] = mix.left[i] * 0.89f / peak;
    out[2 * i + 1] = mix.right[i] * 0.89f / peak;
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s GAME_FOLDER\n", argv[0]);
    return 2;
  }
  const std::string game = std::string(argv[1]);
  std::error_code made;
  std::filesystem::create_directories(game + "/music", made);
  if (!WriteSamples(game + "/music")) {
    std::fprintf(stderr, "cannot write the samples in %s/music\n", game.c_str());
    return 1;
  }
  if (!WriteOgg(game + "/loop.ogg", RenderLoop(), 2, SampleRate, 0.4f)) {
    std::fprintf(stderr, "cannot write %s/loop.ogg\n", game.c_str());
    return 1;
  }
  return 0;
}
