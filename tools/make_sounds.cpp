// Writes the game's sound effects and the start-up jingle under the Files folder given as argument:
//   278/002.wav  a red code reached the bottom: a life lost (a falling, wobbling buzz over a thump)
//   278/004.wav  a shot: a short falling zap with a click (the game plays it at rates 0.7..1.3)
//   278/005.wav  red code destroyed: a crunch of filtered noise, a rising three-note shatter, a thump
//   278/098.wav  menu blip: two quick square-wave notes a fifth apart
//   278/099.wav  online request and answer: two rising warbling chirps
//   Common/open.ogg  the start-up jingle: a bright rising arpeggio of bells and plucks in C major
// Effects are 16-bit mono at 44.1 kHz, peaks at -1 dBFS, without DC offset, starting and ending at rest.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "instruments.h"
#include "ogg_write.h"
#include "synth.h"
#include "wav_write.h"

namespace {

constexpr float PeakLevel = 0.89f;  // -1 dBFS

struct Effect {
  const char* file;
  double length;  // seconds
  std::vector<Layer> layers;
};

Layer Make(Shape shape, double freq, double attack, double hold, double decay, float gain) {
  Layer l;
  l.shape = shape, l.freq = freq, l.attack = attack, l.hold = hold, l.decay = decay, l.gain = gain;
  return l;
}

std::vector<Effect> Effects() {
  std::vector<Effect> effects;

  {  // 002: life lost
    Layer buzz = Make(Shape::Saw, 520, 0.005, 0.3, 0.4, 0.55f);
    buzz.slide = -2.2, buzz.vibratoDepth = 0.7, buzz.vibratoRate = 11;
    buzz.lowPass = 2600, buzz.lowPassSweep = -1.5, buzz.resonance = 1.3f;
    Layer under = Make(Shape::Square, 260, 0.005, 0.3, 0.4, 0.3f);
    under.slide = -2.2, under.vibratoDepth = 0.7, under.vibratoRate = 11, under.duty = 0.3f;
    under.lowPass = 1200;
    Layer rumble = Make(Shape::Noise, 2500, 0.002, 0.05, 0.5, 0.3f);
    rumble.lowPass = 900, rumble.lowPassSweep = -2;
    Layer thump = Make(Shape::Sine, 110, 0.002, 0.03, 0.3, 0.7f);
    thump.slide = -1.5;
    effects.push_back({"278/002.wav", 0.78, {buzz, under, rumble, thump}});
  }
  {  // 004: shot
    Layer zap = Make(Shape::Square, 1900, 0.001, 0.02, 0.12, 0.5f);
    zap.slide = -9, zap.duty = 0.35f, zap.dutySweep = 2, zap.lowPass = 7000, zap.lowPassSweep = -6;
    Layer body = Make(Shape::Saw, 950, 0.001, 0.02, 0.12, 0.35f);
    body.slide = -9, body.lowPass = 4000, body.lowPassSweep = -5;
    Layer click = Make(Shape::Noise, 9000, 0.0005, 0.004, 0.03, 0.45f);
    click.highPass = 2500;
    effects.push_back({"278/004.wav", 0.17, {zap, body, click}});
  }
  {  // 005: red code destroyed
    Layer crunch = Make(Shape::Noise, 7000, 0.001, 0.03, 0.38, 0.75f);
    crunch.curve = 2.5, crunch.lowPass = 7000, crunch.lowPassSweep = -4.5, crunch.resonance = 1.3f;
    std::vector<Layer> layers = {crunch};
    const double notes[3] = {660, 990, 1320};
    for (int k = 0; k < 3; ++k) {
      Layer shard = Make(Shape::Square, notes[k], 0.001, 0.035, 0.05 + 0.1 * k, 0.28f);
      shard.start = 0.055 * k, shard.duty = 0.25f, shard.lowPass = 6000;
      layers.push_back(shard);
    }
    Layer thump = Make(Shape::Sine, 160, 0.001, 0.02, 0.22, 0.8f);
    thump.slide = -2.5;
    layers.push_back(thump);
    effects.push_back({"278/005.wav", 0.5, layers});
  }
  {  // 098: menu blip
    Layer blip = Make(Shape::Square, 988, 0.001, 0.022, 0.05, 0.55f);
    blip.duty = 0.25f, blip.jumpAt = 0.03, blip.jumpRatio = 1.5, blip.lowPass = 6500;
    Layer shine = Make(Shape::Sine, 1976, 0.001, 0.02, 0.04, 0.2f);
    shine.jumpAt = 0.03, shine.jumpRatio = 1.5;
    effects.push_back({"278/098.wav", 0.085, {blip, shine}});
  }
  {  // 099: online request and answer
    std::vector<Layer> layers;
    for (int k = 0; k < 2; ++k) {
      Layer chirp = Make(Shape::Triangle, 700 * (k ? 1.5 : 1), 0.004, 0.07, 0.06, 0.7f);
      chirp.start = 0.13 * k, chirp.slide = 2.2, chirp.vibratoDepth = 0.6, chirp.vibratoRate = 28;
      Layer edge = Make(Shape::Square, 1400 * (k ? 1.5 : 1), 0.004, 0.05, 0.05, 0.12f);
      edge.start = chirp.start, edge.slide = 2.2, edge.lowPass = 5000;
      layers.push_back(chirp), layers.push_back(edge);
    }
    effects.push_back({"278/099.wav", 0.3, layers});
  }
  return effects;
}

// The jingle: C5 E5 G5 C6 as rising bells doubled by plucks, ending on a shimmering E6/G6/C7.
std::vector<float> Jingle() {
  const double length = 2.4;
  const size_t n = static_cast<size_t>(length * SampleRate);
  Wave left(n, 0.f), right(n, 0.f);
  auto add = [&](const Wave& w, double at, float gain, float pan) {
    const size_t first = static_cast<size_t>(at * SampleRate);
    for (size_t i = 0; i < w.size() && first + i < n; ++i) {
      left[first + i] += w[i] * gain * (1 - pan) / 2;
      right[first + i] += w[i] * gain * (1 + pan) / 2;
    }
  };
  const double notes[4] = {72, 76, 79, 84};
  for (int k = 0; k < 4; ++k) {
    const double at = 0.085 * k;
    add(BellLead(NoteHz(notes[k]), 0.2), at, 0.5f, -0.4f + 0.27f * k);
    add(Pluck(NoteHz(notes[k] - 12), 0.25, 40 + k), at, 0.35f, 0.4f - 0.27f * k);
  }
  const double chord[3] = {88, 91, 96};
  for (int k = 0; k < 3; ++k) add(BellLead(NoteHz(chord[k]), 0.6), 0.36 + 0.012 * k, 0.32f, -0.5f + 0.5f * k);
  add(ElectricPiano(NoteHz(60), 0.7), 0.36, 0.45f, 0);
  // A little air and room around it.
  Reverb room(0.55f, 0.35f);
  std::vector<float> out(2 * n);
  for (size_t i = 0; i < n; ++i) {
    float l = left[i], r = right[i];
    room.Run(0.5f * (left[i] + right[i]), l, r);
    out[2 * i] = l, out[2 * i + 1] = r;
  }
  // DC removal, fades and level on both channels together.
  Wave l(n), r(n);
  for (size_t i = 0; i < n; ++i) l[i] = out[2 * i], r[i] = out[2 * i + 1];
  RemoveDc(l), RemoveDc(r);
  FadeEdges(l, 0.001, 0.4), FadeEdges(r, 0.001, 0.4);
  const float peak = std::max(Peak(l), Peak(r));
  for (size_t i = 0; i < n; ++i) out[2 * i] = l[i] * 0.85f / peak, out[2 * i + 1] = r[i] * 0.85f / peak;
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FILES_DIR\n", argv[0]);
    return 2;
  }
  const std::string root = argv[1];
  uint64_t seed = 278;
  for (const Effect& e : Effects()) {
    Wave w = RenderLayers(e.layers, e.length, seed++);
    RemoveDc(w);
    FadeEdges(w, 0.0005, 0.006);
    NormalisePeak(w, PeakLevel);
    if (!WriteWav(root + "/" + e.file, w, 1, SampleRate)) {
      std::fprintf(stderr, "cannot write %s\n", e.file);
      return 1;
    }
  }
  if (!WriteOgg(root + "/Common/open.ogg", Jingle(), 2, SampleRate, 0.5f)) {
    std::fprintf(stderr, "cannot write open.ogg\n");
    return 1;
  }
  return 0;
}
