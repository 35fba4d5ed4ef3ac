// Drum and note recipes: oscillators, noise and filters shaped by envelopes.
#include "instruments.h"

#include <algorithm>
#include <cmath>

namespace {

size_t Samples(double seconds) { return static_cast<size_t>(seconds * SampleRate); }

double Time(size_t i) { return static_cast<double>(i) / SampleRate; }

// A soft saturation that keeps small signals as they are.
float Soft(float x) { return std::tanh(x); }

// Metal: six square waves at inharmonic ratios, the classic source of hats, rides and bells.
float Metal(Oscillator* oscs, double base, Rng& rng) {
  static constexpr double Ratios[6] = {1.0, 1.4471, 1.6170, 1.9265, 2.5028, 2.6637};
  float sum = 0;
  for (int k = 0; k < 6; ++k) sum += oscs[k].Next(Shape::Square, base * Ratios[k], 0.5f, rng);
  return sum / 6;
}

// The usual note envelope: attack, full level while held, then an exponential release.
float NoteEnvelope(double t, double attack, double seconds, double release) {
  if (t < attack) return static_cast<float>(t / attack);
  if (t < seconds) return 1;
  return static_cast<float>(std::exp(-(t - seconds) / (release / 5)));
}

}  // namespace

double NoteHz(double midi) { return 440.0 * std::pow(2.0, (midi - 69) / 12); }

Wave Kick(float tone, uint64_t seed) {
  Rng rng(seed);
  Wave w(Samples(0.5));
  double phase = 0;
  Filter click;
  for (size_t i = 0; i < w.size(); ++i) {
    const double t = Time(i);
    const double hz = 46 + 10 * tone + 120 * std::exp(-t / 0.032);
    phase += hz / SampleRate;
    const float body = static_cast<float>(std::sin(2 * Pi * phase) * std::exp(-t / (0.22 + 0.1 * tone)));
    click.Run(rng.Noise(), 3000, 0.7f);
    const float snap = click.high * static_cast<float>(std::exp(-t / 0.003)) * 0.35f;
    w[i] = Soft(1.6f * (body + snap)) * std::min(1.f, static_cast<float>(t / 0.001));
  }
  return w;
}

Wave BoomKick(uint64_t seed) {
  Rng rng(seed);
  Wave w(Samples(0.9));
  double phase = 0;
  for (size_t i = 0; i < w.size(); ++i) {
    const double t = Time(i);
    phase += (38 + 70 * std::exp(-t / 0.05)) / SampleRate;
    const float body = static_cast<float>(std::sin(2 * Pi * phase) * std::exp(-t / 0.45));
    w[i] = Soft(2.2f * body) * std::min(1.f, static_cast<float>(t / 0.002)) +
           rng.Noise() * static_cast<float>(0.2 * std::exp(-t / 0.002));
  }
  return w;
}

Wave Snare(float tone, uint64_t seed) {
  Rng rng(seed);
  Wave w(Samples(0.35));
  Filter bright, body;
  for (size_t i = 0; i < w.size(); ++i) {
    const double t = Time(i);
    const double f = 180 + 30 * tone;
    const float drum = static_cast<float>((std::sin(2 * Pi * f * t) + 0.6 * std::sin(2 * Pi * f * 1.83 * t)) *
                                          std::exp(-t / 0.05));
    bright.Run(rng.Noise(), 1800, 0.6f);
    body.Run(bright.high, 6000 + 2000 * tone, 0.5f);
    const float noise = body.low * static_cast<float>(std::exp(-t / 0.11));
    w[i] = 0.5f * drum + 0.9f * noise;
  }
  return w;
}

Wave NoiseSnare(uint64_t seed) {
  Rng rng(seed);
  Wave w(Samples(0.4));
  Filter f;
  for (size_t i = 0; i < w.size(); ++i) {
    const double t = Time(i);
    f.Run(rng.Noise(), static_cast<float>(9000 * std::exp(-t / 0.12) + 1500), 0.8f);
    w[i] = f.low * static_cast<float>(std::exp(-t / 0.15)) +
           0.3f * static_cast<float>(std::sin(2 * Pi * 220 * t) * std::exp(-t / 0.04));
  }
  return w;
}

Wave Clap(uint64_t seed) {
  Rng rng(seed);
  Wave w(Samples(0.4));
  Filter f;
  for (size_t i = 0; i < w.size(); ++i) {
    const double t = Time(i);
    double env = 0;
    for (int k = 0; k < 3; ++k) {
      const double s = t - 0.011 * k;
      if (s >= 0) env += std::exp(-s / 0.0045);
    }
    if (t > 0.022) env += 0.6 * std::exp(-(t - 0.022) / 0.09);
    f.Run(rng.Noise(), 1300, 1.6f);
    w[i] = f.band * static_cast<float>(env) * 1.4f;
  }
  return w;
}

Wave HiHat(double decaySeconds, uint64_t seed) {
  Rng rng(seed);
  Wave w(Samples(decaySeconds * 5 + 0.02));
  Oscillator oscs[6];
  Filter band, high;
  for (size_t i = 0; i < w.size(); ++i) {
    const double t = Time(i);
    const float source = Metal(oscs, 480, rng) + 0.35f * rng.Noise();
    band.Run(source, 10000, 0.9f);
    high.Run(band.band, 7000, 0.7f);
    w[i] = high.high * static_cast<float>(std::exp(-t / decaySeconds)) *
           std::min(1.f, static_cast<float>(t / 0.0008));
  }
  return w;
}

Wave Ride(uint64_t seed) {
  Rng rng(seed);
  Wave w(Samples(2.2));
  Oscillator oscs[6], bell;
  Filter high;
  for (size_t i = 0; i < w.size(); ++i) {
    const double t = Time(i);
    high.Run(Metal(oscs, 620, rng) + 0.2f * rng.Noise(), 5000, 0.7f);
    const float ping = bell.Next(Shape::Sine, 2900, 0.5f, rng) * static_cast<float>(std::exp(-t / 0.25));
    w[i] = (high.high * 0.8f + 0.25f * ping) * static_cast<float>(std::exp(-t / 0.45));
  }
  return w;
}

Wave Crash(uint64_t seed) {
  Rng rng(seed);
  Wave w(Samples(3.0));
  Oscillator oscs[6];
  Filter high, soft;
  for (size_t i = 0; i < w.size(); ++i) {
    const double t = Time(i);
    high.Run(0.6f * Metal(oscs, 540, rng) + 0.8f * rng.Noise(), 4000, 0.7f);
    soft.Run(high.high, static_cast<float>(4000 + 9000 * std::exp(-t / 0.4)), 0.6f);
    w[i] = soft.low * static_cast<float>(std::exp(-t / 0.75)) * std::min(1.f, static_cast<float>(t / 0.002));
  }
  return w;
}

Wave Tom(double hz, uint64_t seed) {
  Rng rng(seed);
  Wave w(Samples(0.6));
  double phase = 0;
  for (size_t i = 0; i < w.size(); ++i) {
    const double t = Time(i);
    phase += hz * (1 + 0.6 * std::exp(-t / 0.04)) / SampleRate;
    w[i] = static_cast<float>(std::sin(2 * Pi * phase) * std::exp(-t / 0.2)) +
           rng.Noise() * static_cast<float>(0.15 * std::exp(-t / 0.01));
  }
  return w;
}

Wave ZapTom(uint64_t seed) {
  Rng rng(seed);
  Wave w(Samples(0.3));
  double phase = 0;
  for (size_t i = 0; i < w.size(); ++i) {
    const double t = Time(i);
    phase += (80 + 700 * std::exp(-t / 0.03)) / SampleRate;
    w[i] = static_cast<float>(std::sin(2 * Pi * phase) * std::exp(-t / 0.09));
  }
  return w;
}

Wave Shaker(uint64_t seed) {
  Rng rng(seed);
  Wave w(Samples(0.14));
  Filter f;
  for (size_t i = 0; i < w.size(); ++i) {
    const double t = Time(i);
    f.Run(rng.Noise(), 8500, 1.2f);
    w[i] = f.band * Envelope(t, 0.018, 0, 0.11, 2.5) * 1.5f;
  }
  return w;
}

Wave Rim(uint64_t seed) {
  Rng rng(seed);
  Wave w(Samples(0.08));
  Filter f;
  for (size_t i = 0; i < w.size(); ++i) {
    const double t = Time(i);
    f.Run(rng.Noise(), 2500, 3);
    w[i] = static_cast<float>(std::sin(2 * Pi * 1750 * t) * std::exp(-t / 0.012)) * 0.7f +
           f.band * static_cast<float>(std::exp(-t / 0.006));
  }
  return w;
}

Wave Cowbell(uint64_t seed) {
  Rng rng(seed);
  Wave w(Samples(0.5));
  Oscillator a, b;
  Filter f;
  for (size_t i = 0; i < w.size(); ++i) {
    const double t = Time(i);
    f.Run(a.Next(Shape::Square, 587, 0.5f, rng) + b.Next(Shape::Square, 845, 0.5f, rng), 2600, 2);
    const double env = 0.6 * std::exp(-t / 0.015) + 0.4 * std::exp(-t / 0.12);
    w[i] = f.band * static_cast<float>(env);
  }
  return w;
}

Wave Glitch(uint64_t seed) {
  Rng rng(seed);
  Wave w(Samples(0.18));
  Oscillator noise;
  for (size_t i = 0; i < w.size(); ++i) {
    const double t = Time(i);
    const float s = noise.Next(Shape::Noise, 2200 * (1 + std::floor(t / 0.03)), 0.5f, rng);
    w[i] = std::round(s * 3) / 3 * Envelope(t, 0.001, 0.04, 0.13, 1.5);
  }
  return w;
}

Wave PluckBass(double hz, double seconds) {
  Rng rng(1);
  Wave w(Samples(seconds + 0.15));
  Oscillator saw, sub;
  Filter f;
  for (size_t i = 0; i < w.size(); ++i) {
    const double t = Time(i);
    const float s = saw.Next(Shape::Saw, hz, 0.5f, rng) + 0.6f * sub.Next(Shape::Sine, hz, 0.5f, rng);
    f.Run(s, static_cast<float>(hz * 1.5 + 2600 * std::exp(-t / 0.09)), 1.6f);
    w[i] = Soft(1.3f * f.low) * NoteEnvelope(t, 0.003, seconds, 0.15);
  }
  return w;
}

Wave SubBass(double hz, double seconds) {
  Rng rng(2);
  Wave w(Samples(seconds + 0.2));
  Oscillator sine, tri;
  for (size_t i = 0; i < w.size(); ++i) {
    const double t = Time(i);
    const float s = sine.Next(Shape::Sine, hz, 0.5f, rng) + 0.25f * tri.Next(Shape::Triangle, hz * 2, 0.5f, rng);
    w[i] = Soft(1.2f * s) * NoteEnvelope(t, 0.008, seconds, 0.2);
  }
  return w;
}

Wave FmBass(double hz, double seconds) {
  Wave w(Samples(seconds + 0.15));
  double carrier = 0, modulator = 0;
  for (size_t i = 0; i < w.size(); ++i) {
    const double t = Time(i);
    modulator += hz / SampleRate;
    const double index = 0.6 + 3.2 * std::exp(-t / 0.12);
    carrier += hz / SampleRate;
    w[i] = static_cast<float>(std::sin(2 * Pi * carrier + index * std::sin(2 * Pi * modulator))) *
           NoteEnvelope(t, 0.002, seconds, 0.15);
  }
  return w;
}

Wave ReeseBass(double hz, double seconds) {
  Rng rng(3);
  Wave w(Samples(seconds + 0.25));
  Oscillator a, b;
  Filter f;
  for (size_t i = 0; i < w.size(); ++i) {
    const double t = Time(i);
    const float s = a.Next(Shape::Saw, hz * 1.006, 0.5f, rng) + b.Next(Shape::Saw, hz * 0.994, 0.5f, rng);
    f.Run(s, static_cast<float>(hz * 4 + 500), 1.1f);
    w[i] = 0.7f * f.low * NoteEnvelope(t, 0.01, seconds, 0.25);
  }
  return w;
}

Wave PulseLead(double hz, double seconds) {
  Rng rng(4);
  Wave w(Samples(seconds + 0.3));
  Oscillator osc;
  Filter f;
  for (size_t i = 0; i < w.size(); ++i) {
    const double t = Time(i);
    const double vibrato = t > 0.18 ? 0.18 * std::min(1.0, (t - 0.18) / 0.2) * std::sin(2 * Pi * 5.5 * t) : 0;
    const float duty = 0.5f + 0.18f * static_cast<float>(std::sin(2 * Pi * 2.5 * t));
    f.Run(osc.Next(Shape::Square, hz * std::pow(2.0, vibrato / 12), duty, rng), 3200, 0.8f);
    w[i] = 0.6f * f.low * NoteEnvelope(t, 0.006, seconds, 0.3);
  }
  return w;
}

Wave BellLead(double hz, double seconds) {
  Wave w(Samples(seconds + 1.0));
  for (size_t i = 0; i < w.size(); ++i) {
    const double t = Time(i);
    // High notes get less modulation, so their side bands stay below half the sample rate.
    const double index = 2.5 * std::min(1.0, 800 / hz) * std::exp(-t / 0.25);
    const double mod = std::sin(2 * Pi * hz * 3.5 * t);
    const float env = static_cast<float>(std::exp(-t / 0.6)) * std::min(1.f, static_cast<float>(t / 0.002));
    const float release = t > seconds ? static_cast<float>(std::exp(-(t - seconds) / 0.2)) : 1.f;
    w[i] = static_cast<float>(std::sin(2 * Pi * hz * t + index * mod)) * env * release * 0.8f;
  }
  return w;
}

Wave SawLead(double hz, double seconds) {
  Rng rng(5);
  Wave w(Samples(seconds + 0.35));
  Oscillator oscs[5];
  static constexpr double Detune[5] = {-0.11, -0.05, 0, 0.05, 0.11};  // semitones
  Filter f;
  for (size_t i = 0; i < w.size(); ++i) {
    const double t = Time(i);
    float s = 0;
    for (int k = 0; k < 5; ++k) s += oscs[k].Next(Shape::Saw, hz * std::pow(2.0, Detune[k] / 12), 0.5f, rng);
    f.Run(s / 3, static_cast<float>(2200 + 3000 * std::exp(-t / 0.2)), 0.9f);
    w[i] = f.low * NoteEnvelope(t, 0.01, seconds, 0.35);
  }
  return w;
}

Wave SoftLead(double hz, double seconds) {
  Rng rng(6);
  Wave w(Samples(seconds + 0.3));
  Oscillator a, b;
  Filter breath;
  for (size_t i = 0; i < w.size(); ++i) {
    const double t = Time(i);
    const double vibrato = 0.12 * std::sin(2 * Pi * 5 * t) * std::min(1.0, t / 0.3);
    const double f = hz * std::pow(2.0, vibrato / 12);
    breath.Run(rng.Noise(), static_cast<float>(hz * 3), 2);
    const float s = a.Next(Shape::Sine, f, 0.5f, rng) + 0.18f * b.Next(Shape::Sine, f * 2, 0.5f, rng) +
                    0.06f * breath.band;
    w[i] = 0.8f * s * NoteEnvelope(t, 0.035, seconds, 0.3);
  }
  return w;
}

Wave Pluck(double hz, double seconds, uint64_t seed) {
  // Karplus-Strong: a burst of filtered noise circulating in a delay line one period long, softened
  // a little on every pass. The two-point average delays by half a sample, so the line is that
  // much shorter.
  Rng rng(seed);
  Wave w(Samples(seconds + 0.4));
  const double period = SampleRate / hz - 0.5;
  const size_t size = static_cast<size_t>(period) + 4;
  std::vector<float> line(size, 0.f);
  Filter shape;
  for (size_t i = 0; i < static_cast<size_t>(period); ++i) {
    shape.Run(rng.Noise(), static_cast<float>(std::min(9000.0, hz * 8)), 0.7f);
    line[i] = shape.low;
  }
  size_t write = static_cast<size_t>(period);
  float previous = 0;
  const float loss = static_cast<float>(std::pow(0.5, 1 / (hz * 0.9)));  // half-life about 0.9 s
  for (size_t i = 0; i < w.size(); ++i) {
    const double t = Time(i);
    const double read = static_cast<double>(write) + static_cast<double>(size) - period;
    const size_t r0 = static_cast<size_t>(read) % size, r1 = (r0 + 1) % size;
    const float frac = static_cast<float>(read - std::floor(read));
    const float y = line[r0] * (1 - frac) + line[r1] * frac;
    line[write] = 0.5f * (y + previous) * loss;
    previous = y;
    write = (write + 1) % size;
    const float release = t > seconds ? static_cast<float>(std::exp(-(t - seconds) / 0.08)) : 1.f;
    w[i] = y * release * 1.4f;
  }
  return w;
}

Wave Pad(double hz, double seconds, uint64_t seed) {
  Rng rng(seed);
  Wave w(Samples(seconds + 0.9));
  Oscillator oscs[3];
  for (Oscillator& o : oscs) o.phase = rng.Uniform();
  static constexpr double Detune[3] = {-0.09, 0.0, 0.08};
  Filter f;
  for (size_t i = 0; i < w.size(); ++i) {
    const double t = Time(i);
    float s = 0;
    for (int k = 0; k < 3; ++k) s += oscs[k].Next(Shape::Saw, hz * std::pow(2.0, Detune[k] / 12), 0.5f, rng);
    f.Run(s / 2.5f, static_cast<float>(1100 + 500 * std::sin(2 * Pi * 0.25 * t)), 0.7f);
    w[i] = f.low * NoteEnvelope(t, 0.25, seconds, 0.9);
  }
  return w;
}

Wave ElectricPiano(double hz, double seconds) {
  Wave w(Samples(seconds + 0.6));
  for (size_t i = 0; i < w.size(); ++i) {
    const double t = Time(i);
    const double index = 0.3 + 1.4 * std::exp(-t / 0.35);
    const float tine = static_cast<float>(0.12 * std::sin(2 * Pi * hz * 14 * t) * std::exp(-t / 0.03));
    const float body = static_cast<float>(std::sin(2 * Pi * hz * t + index * std::sin(2 * Pi * hz * t)));
    const float env = static_cast<float>(std::exp(-t / 1.2)) * std::min(1.f, static_cast<float>(t / 0.003));
    const float release = t > seconds ? static_cast<float>(std::exp(-(t - seconds) / 0.12)) : 1.f;
    w[i] = (body + tine) * env * release * 0.7f;
  }
  return w;
}
