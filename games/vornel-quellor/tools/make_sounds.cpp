// Writes the game's sound effects into the game folder given as argument:
//   002.wav  a red code reached the bottom: a life lost (a falling, wobbling buzz over a thump)
//   004.wav  a shot: a short falling zap with a click (the game plays it at rates 0.7..1.3)
//   005.wav  red code destroyed: a crunch of filtered noise, a rising three-note shatter, a thump
// Effects are 16-bit mono at 44.1 kHz, peaks at -1 dBFS, without DC offset, starting and ending at rest
// (WriteEffect).
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "instruments.h"
#include "synth.h"

namespace {

std::vector<Effect> Effects() {
  std::vector<Effect> effects;

  {  // 002: life lost
    Layer buzz = MakeLayer(Shape::Saw, 520, 0.005, 0.3, 0.4, 0.55f);
    buzz.slide = -2.2, buzz.vibratoDepth = 0.7, buzz.vibratoRate = 11;
    buzz.lowPass = 2600, buzz.lowPassSweep = -1.5, buzz.resonance = 1.3f;
    Layer under = MakeLayer(Shape::Square, 260, 0.005, 0.3, 0.4, 0.3f);
    under.slide = -2.2, under.vibratoDepth = 0.7, under.vibratoRate = 11, under.duty = 0.3f;
    under.lowPass = 1200;
    Layer rumble = MakeLayer(Shape::Noise, 2500, 0.002, 0.05, 0.5, 0.3f);
    rumble.lowPass = 900, rumble.lowPassSweep = -2;
    Layer thump = MakeLayer(Shape::Sine, 110, 0.002, 0.03, 0.3, 0.7f);
    thump.slide = -1.5;
    effects.push_back({"002.wav", 0.78, {buzz, under, rumble, thump}});
  }
  {  // 004: shot
    Layer zap = MakeLayer(Shape::Square, 1900, 0.001, 0.02, 0.12, 0.5f);
    zap.slide = -9, zap.duty = 0.35f, zap.dutySweep = 2, zap.lowPass = 7000, zap.lowPassSweep = -6;
    Layer body = MakeLayer(Shape::Saw, 950, 0.001, 0.02, 0.12, 0.35f);
    body.slide = -9, body.lowPass = 4000, body.lowPassSweep = -5;
    Layer click = MakeLayer(Shape::Noise, 9000, 0.0005, 0.004, 0.03, 0.45f);
    click.highPass = 2500;
    effects.push_back({"004.wav", 0.17, {zap, body, click}});
  }
  {  // 005: red code destroyed
    Layer crunch = MakeLayer(Shape::Noise, 7000, 0.001, 0.03, 0.38, 0.75f);
    crunch.curve = 2.5, crunch.lowPass = 7000, crunch.lowPassSweep = -4.5, crunch.resonance = 1.3f;
    std::vector<Layer> layers = {crunch};
    const double notes[3] = {660, 990, 1320};
    for (int k = 0; k < 3; ++k) {
      Layer shard = MakeLayer(Shape::Square, notes[k], 0.001, 0.035, 0.05 + 0.1 * k, 0.28f);
      shard.start = 0.055 * k, shard.duty = 0.25f, shard.lowPass = 6000;
      layers.push_back(shard);
    }
    Layer thump = MakeLayer(Shape::Sine, 160, 0.001, 0.02, 0.22, 0.8f);
    thump.slide = -2.5;
    layers.push_back(thump);
    effects.push_back({"005.wav", 0.5, layers});
  }
  return effects;
}


}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s GAME_FOLDER\n", argv[0]);
    return 2;
  }
  uint64_t seed = 278;
  for (const Effect& e : Effects())
    if (!WriteEffect(e, seed++, std::string(argv[1]) + "/" + e.file)) return 1;
  return 0;
}
