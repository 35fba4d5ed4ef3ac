// Sound building blocks of the data generators.
#include "synth.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "wav_write.h"

uint64_t Rng::Next() {
  uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

double Rng::Uniform() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }

double Rng::Range(double lo, double hi) { return lo + (hi - lo) * Uniform(); }

namespace {

// The polyBLEP correction around a discontinuity at phase 0 (dt: phase step per sample).
double Blep(double t, double dt) {
  if (t < dt) {
    t /= dt;
    return t + t - t * t - 1;
  }
  if (t > 1 - dt) {
    t = (t - 1) / dt;
    return t * t + t + t + 1;
  }
  return 0;
}

}  // namespace

float Oscillator::Next(Shape shape, double hz, float duty, Rng& rng) {
  const double dt = std::min(0.5, std::max(0.0, hz / SampleRate));
  double out = 0;
  switch (shape) {
    case Shape::Sine: out = std::sin(2 * Pi * phase); break;
    case Shape::Triangle: out = phase < 0.5 ? 4 * phase - 1 : 3 - 4 * phase; break;
    case Shape::Saw: out = 2 * phase - 1 - Blep(phase, dt); break;
    case Shape::Square: {
      const double d = std::clamp(static_cast<double>(duty), 0.05, 0.95);
      // Centred on zero whatever the duty, so narrow pulses add no DC.
      out = (phase < d ? 1 : -1) + Blep(phase, dt) - Blep(std::fmod(phase + 1 - d, 1.0), dt) - (2 * d - 1);
      break;
    }
    case Shape::Noise: out = held; break;
  }
  phase += dt;
  if (phase >= 1) {
    phase -= 1;
    held = rng.Noise();
  }
  return static_cast<float>(out);
}

void Filter::Run(float x, float cutoffHz, float q) {
  const float fc = std::clamp(cutoffHz, 10.f, SampleRate * 0.45f);
  const float g = static_cast<float>(std::tan(Pi * fc / SampleRate));
  const float k = 1 / std::max(0.1f, q);
  const float a1 = 1 / (1 + g * (g + k)), a2 = g * a1, a3 = g * a2;
  const float v3 = x - ic2;
  const float v1 = a1 * ic1 + a2 * v3;
  const float v2 = ic2 + a2 * ic1 + a3 * v3;
  ic1 = 2 * v1 - ic1;
  ic2 = 2 * v2 - ic2;
  low = v2, band = v1, high = x - k * v1 - v2;
}

float Envelope(double t, double attack, double hold, double decay, double curve) {
  if (t < 0) return 0;
  if (t < attack) return static_cast<float>(t / attack);
  t -= attack;
  if (t < hold) return 1;
  t -= hold;
  if (t >= decay) return 0;
  return static_cast<float>(std::pow(1 - t / decay, curve));
}

Wave RenderLayers(const std::vector<Layer>& layers, double length, uint64_t seed) {
  const size_t n = static_cast<size_t>(length * SampleRate);
  Wave out(n, 0.f);
  Rng rng(seed);
  for (const Layer& L : layers) {
    Oscillator osc;
    Filter low, high;
    const size_t first = static_cast<size_t>(L.start * SampleRate);
    for (size_t i = first; i < n; ++i) {
      const double t = static_cast<double>(i - first) / SampleRate;
      float env = Envelope(t, L.attack, L.hold, L.decay, L.curve);
      if (t > L.attack + L.hold + L.decay) break;
      if (L.punch > 0 && t >= L.attack && t < L.attack + L.hold)
        env *= static_cast<float>(1 + L.punch * (1 - (t - L.attack) / L.hold));
      double octaves = L.slide * t + 0.5 * L.slideAccel * t * t;
      if (L.vibratoDepth > 0) octaves += L.vibratoDepth / 12 * std::sin(2 * Pi * L.vibratoRate * t);
      double hz = L.freq * std::pow(2.0, octaves);
      if (L.jumpAt >= 0 && t >= L.jumpAt) hz *= L.jumpRatio;
      hz = std::clamp(hz, L.minFreq, L.maxFreq);
      const float duty = L.duty + L.dutySweep * static_cast<float>(t);
      float s = osc.Next(L.shape, hz, duty, rng);
      if (L.lowPass > 0) {
        low.Run(s, static_cast<float>(L.lowPass * std::pow(2.0, L.lowPassSweep * t)), L.resonance);
        s = low.low;
      }
      if (L.highPass > 0) {
        high.Run(s, static_cast<float>(L.highPass), 0.7f);
        s = high.high;
      }
      out[i] += s * env * L.gain;
    }
  }
  return out;
}

void RemoveDc(Wave& w) {
  const float r = static_cast<float>(1 - 2 * Pi * 10 / SampleRate);
  float x1 = 0, y1 = 0;
  for (float& s : w) {
    const float y = s - x1 + r * y1;
    x1 = s, y1 = y;
    s = y;
  }
  double mean = 0;
  for (float s : w) mean += s;
  if (!w.empty()) mean /= static_cast<double>(w.size());
  for (float& s : w) s -= static_cast<float>(mean);
}

float Peak(const Wave& w) {
  float p = 0;
  for (float s : w) p = std::max(p, std::fabs(s));
  return p;
}

float Rms(const Wave& w) {
  double sum = 0;
  for (float s : w) sum += static_cast<double>(s) * s;
  return w.empty() ? 0.f : static_cast<float>(std::sqrt(sum / static_cast<double>(w.size())));
}

void NormalisePeak(Wave& w, float peak) {
  const float p = Peak(w);
  if (p <= 0) return;
  for (float& s : w) s *= peak / p;
}

void FadeEdges(Wave& w, double inSeconds, double outSeconds) {
  const size_t in = std::min(w.size(), static_cast<size_t>(inSeconds * SampleRate));
  const size_t out = std::min(w.size(), static_cast<size_t>(outSeconds * SampleRate));
  for (size_t i = 0; i < in; ++i) w[i] *= static_cast<float>(i) / static_cast<float>(in);
  for (size_t i = 0; i < out; ++i) w[w.size() - 1 - i] *= static_cast<float>(i) / static_cast<float>(out);
}

Reverb::Reverb(float size, float damping)
    : feedback_(0.7f + 0.28f * size), damping_(damping) {
  // Delay lengths in samples at 44.1 kHz; the right channel's are a little longer for width.
  static constexpr int CombLengths[8] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
  static constexpr int AllPassLengths[4] = {556, 441, 341, 225};
  for (int c = 0; c < 2; ++c) {
    for (int i = 0; i < 8; ++i) combs_[c][i].buf.assign(CombLengths[i] + 23 * c, 0.f);
    for (int i = 0; i < 4; ++i) allPasses_[c][i].buf.assign(AllPassLengths[i] + 23 * c, 0.f);
  }
}

void Reverb::Run(float x, float& outL, float& outR) {
  const float in = x * 0.015f;
  for (int c = 0; c < 2; ++c) {
    float sum = 0;
    for (Comb& comb : combs_[c]) {
      const float y = comb.buf[comb.pos];
      comb.store = y * (1 - damping_) + comb.store * damping_;
      comb.buf[comb.pos] = in + comb.store * feedback_;
      comb.pos = (comb.pos + 1) % comb.buf.size();
      sum += y;
    }
    for (AllPass& ap : allPasses_[c]) {
      const float b = ap.buf[ap.pos];
      ap.buf[ap.pos] = sum + b * 0.5f;
      ap.pos = (ap.pos + 1) % ap.buf.size();
      sum = b - sum;
    }
    (c == 0 ? outL : outR) += sum;
  }
}

Layer MakeLayer(Shape shape, double freq, double attack, double hold, double decay, float gain) {
  Layer l;
  l.shape = shape, l.freq = freq, l.attack = attack, l.hold = hold, l.decay = decay, l.gain = gain;
  return l;
}

bool WriteEffect(const Effect& effect, uint64_t seed, const std::string& path) {
  Wave w = RenderLayers(effect.layers, effect.length, seed);
  RemoveDc(w);
  FadeEdges(w, 0.0005, 0.006);
  NormalisePeak(w, 0.89f);  // -1 dBFS
  if (WriteWav(path, w, 1, SampleRate)) return true;
  std::fprintf(stderr, "cannot write %s\n", path.c_str());
  return false;
}
