// Writes the game's sound effects into the game folder given as argument:
//   001.wav  a target hit: a bright two-note chime over a soft pop (the game raises its rate for a
//            quick hit)
//   002.wav  a target faded away: a falling, dull "bwoop"
// Effects are 16-bit mono at 44.1 kHz, peaks at -1 dBFS, without DC offset, starting and ending at
// rest (WriteEffect).
#include <cstdio>
#include <string>
#include <vector>

#include "synth.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s GAME_FOLDER\n", argv[0]);
    return 2;
  }
  std::vector<Effect> effects;
  {  // 001: hit
    Layer pop = MakeLayer(Shape::Sine, 420, 0.001, 0.01, 0.08, 0.7f);
    pop.slide = 3;
    Layer low = MakeLayer(Shape::Triangle, 1320, 0.001, 0.02, 0.22, 0.45f);
    Layer high = MakeLayer(Shape::Triangle, 1980, 0.001, 0.02, 0.3, 0.4f);
    high.start = 0.045;
    Layer sparkle = MakeLayer(Shape::Noise, 12000, 0.0005, 0.005, 0.04, 0.2f);
    sparkle.highPass = 5000;
    effects.push_back({"001.wav", 0.4, {pop, low, high, sparkle}});
  }
  {  // 002: a target faded away
    Layer fall = MakeLayer(Shape::Square, 330, 0.004, 0.08, 0.3, 0.5f);
    fall.slide = -2.5, fall.duty = 0.3f, fall.lowPass = 1400, fall.lowPassSweep = -2;
    Layer body = MakeLayer(Shape::Sine, 165, 0.004, 0.08, 0.3, 0.6f);
    body.slide = -2.5;
    effects.push_back({"002.wav", 0.45, {fall, body}});
  }
  uint64_t seed = 279;
  for (const Effect& e : effects)
    if (!WriteEffect(e, seed++, std::string(argv[1]) + "/" + e.file)) return 1;
  return 0;
}
