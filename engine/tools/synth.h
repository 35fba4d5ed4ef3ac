// The sound synthesiser of the data generators: a seeded random generator, oscillators, a
// state-variable filter, envelopes, a small reverb and delay, the sound-effect voice (layers of
// oscillator or noise with envelope, pitch slides and filter sweeps), and the tidying every finished
// sound gets (DC removal, peak level, fades).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr int SampleRate = 44100;
constexpr double Pi = 3.14159265358979323846;

using Wave = std::vector<float>;  // mono samples, -1..1

// Seeded random numbers (splitmix64): the same seed always gives the same sound.
class Rng {
 public:
  explicit Rng(uint64_t seed) : state_(seed) {}
  uint64_t Next();
  double Uniform();                   // 0 <= u < 1
  double Range(double lo, double hi);  // lo <= x < hi
  float Noise() { return static_cast<float>(Range(-1, 1)); }

 private:
  uint64_t state_;
};

// Oscillator shapes. Saw and square are band-limited (polyBLEP) so high notes do not alias.
enum class Shape { Sine, Triangle, Saw, Square, Noise };

struct Oscillator {
  double phase = 0;  // 0..1
  // One sample at frequency hz; duty is the square's high part (0..1).
  float Next(Shape shape, double hz, float duty, Rng& rng);
  float held = 0;  // the noise value held until the phase wraps
};

// Topology-preserving state-variable filter; cutoff and resonance may change every sample.
struct Filter {
  float ic1 = 0, ic2 = 0;
  float low = 0, band = 0, high = 0;
  // Filters one sample; the three outputs land in low, band and high. q: 0.5 soft .. 10 ringing.
  void Run(float x, float cutoffHz, float q);
};

// A plain attack / hold / decay shape: 0 -> 1 linearly over attack, 1 over hold, then a curved fall
// to 0 over decay (power 1 straight, 2 and more ever faster at first). Time t in seconds.
float Envelope(double t, double attack, double hold, double decay, double curve = 2);

// One layer of a sound effect. All times in seconds, frequencies in Hz.
struct Layer {
  Shape shape = Shape::Square;
  double start = 0;                  // when the layer begins within the effect
  double attack = 0.002, hold = 0.05, decay = 0.1, curve = 2;
  double punch = 0;                  // extra level at the start of the hold, fading over it
  double freq = 440;                 // starting pitch (for noise: how often the value changes)
  double slide = 0;                  // octaves per second
  double slideAccel = 0;             // octaves per second, per second
  double minFreq = 20, maxFreq = 20000;
  double jumpAt = -1, jumpRatio = 1;  // at jumpAt the pitch is multiplied by jumpRatio
  double vibratoDepth = 0;           // semitones
  double vibratoRate = 0;            // Hz
  float duty = 0.5f, dutySweep = 0;  // square duty and its change per second
  double lowPass = 0;                // cutoff, 0 = none
  double lowPassSweep = 0;           // octaves per second
  float resonance = 0.7f;
  double highPass = 0;               // cutoff, 0 = none
  float gain = 1;
};

// Renders layers into one sound of the given length.
Wave RenderLayers(const std::vector<Layer>& layers, double length, uint64_t seed);

// Removes the DC offset (a 10 Hz high-pass run forwards, then the mean of what is left).
void RemoveDc(Wave& w);
// Scales so that the largest magnitude is peak (for example 0.89 for -1 dBFS).
void NormalisePeak(Wave& w, float peak);
// Short linear fades at the start and the end so the sound starts and stops at rest.
void FadeEdges(Wave& w, double inSeconds, double outSeconds);
float Peak(const Wave& w);
float Rms(const Wave& w);

// A stereo reverb (parallel combs into series all-passes) with a wet output only.
class Reverb {
 public:
  // size 0..1 (room), damping 0..1 (treble loss in the tail).
  Reverb(float size, float damping);
  // Adds the reverberated input x into outL, outR.
  void Run(float x, float& outL, float& outR);

 private:
  struct Comb {
    std::vector<float> buf;
    size_t pos = 0;
    float store = 0;
  };
  struct AllPass {
    std::vector<float> buf;
    size_t pos = 0;
  };
  Comb combs_[2][8];
  AllPass allPasses_[2][4];
  float feedback_, damping_;
};

// A sound effect: its file name, length and layers.
struct Effect {
  const char* file;
  double length;  // seconds
  std::vector<Layer> layers;
};
Layer MakeLayer(Shape shape, double freq, double attack, double hold, double decay, float gain);
// Renders an effect from seed and writes it to path as 16-bit mono at 44.1 kHz, peaks at -1 dBFS,
// without DC offset, starting and ending at rest. False (with a message) when it cannot be written.
bool WriteEffect(const Effect& effect, uint64_t seed, const std::string& path);
