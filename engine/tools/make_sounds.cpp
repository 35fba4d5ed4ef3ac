// Writes the engine's sounds under the Files folder given as first argument: the start-up jingle
// when no game folder follows it, else the menu sounds into each game folder named after it (the
// engine plays them from there):
//   Common/open.ogg  the start-up jingle: a bright rising arpeggio of bells and plucks in C major
//   GAME/098.wav     menu blip: two quick square-wave notes a fifth apart
//   GAME/099.wav     online request and answer: two rising warbling chirps
// Effects are 16-bit mono at 44.1 kHz, peaks at -1 dBFS, without DC offset, starting and ending at rest
// (WriteEffect).
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "instruments.h"
#include "ogg_write.h"
#include "synth.h"

namespace {

std::vector<Effect> Effects() {
  std::vector<Effect> effects;
  {  // 098: menu blip
    Layer blip = MakeLayer(Shape::Square, 988, 0.001, 0.022, 0.05, 0.55f);
    blip.duty = 0.25f, blip.jumpAt = 0.03, blip.jumpRatio = 1.5, blip.lowPass = 6500;
    Layer shine = MakeLayer(Shape::Sine, 1976, 0.001, 0.02, 0.04, 0.2f);
    shine.jumpAt = 0.03, shine.jumpRatio = 1.5;
    effects.push_back({"098.wav", 0.085, {blip, shine}});
  }
  {  // 099: online request and answer
    std::vector<Layer> layers;
    for (int k = 0; k < 2; ++k) {
      Layer chirp = MakeLayer(Shape::Triangle, 700 * (k ? 1.5 : 1), 0.004, 0.07, 0.06, 0.7f);
      chirp.start = 0.13 * k, chirp.slide = 2.2, chirp.vibratoDepth = 0.6, chirp.vibratoRate = 28;
      Layer edge = MakeLayer(Shape::Square, 1400 * (k ? 1.5 : 1), 0.004, 0.05, 0.05, 0.12f);
      edge.start = chirp.start, edge.slide = 2.2, edge.lowPass = 5000;
      layers.push_back(chirp), layers.push_back(edge);
    }
    effects.push_back({"099.wav", 0.3, layers});
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
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FILES_DIR [GAME_FOLDER...]\n", argv[0]);
    return 2;
  }
  const std::string root = argv[1];
  if (argc == 2 && !WriteOgg(root + "/Common/open.ogg", Jingle(), 2, SampleRate, 0.5f)) {
    std::fprintf(stderr, "cannot write open.ogg\n");
    return 1;
  }
  for (int g = 2; g < argc; ++g) {
    uint64_t seed = 281;  // each sound has its own seed, whatever else a game's folder holds
    for (const Effect& e : Effects()) {
      const std::string path = root + "/" + argv[g] + "/" + e.file;
      if (!WriteEffect(e, seed++, path)) return 1;
    }
  }
  return 0;
}
