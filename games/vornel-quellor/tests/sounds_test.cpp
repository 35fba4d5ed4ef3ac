// The sounds of the generated Files/ tree: headers, lengths, levels, and the music loop's seam.
#include <algorithm>
#include <cmath>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "decode.h"
#include "support/test_support.h"

namespace {

float PeakOf(const Sound& s) {
  float p = 0;
  for (float v : s.samples) p = std::max(p, std::fabs(v));
  return p;
}

double MeanOf(const Sound& s) {
  double m = 0;
  for (float v : s.samples) m += v;
  return s.samples.empty() ? 0 : m / static_cast<double>(s.samples.size());
}

double DecibelsRms(const Sound& s) {
  double sum = 0;
  for (float v : s.samples) sum += static_cast<double>(v) * v;
  return 10 * std::log10(sum / static_cast<double>(std::max<size_t>(1, s.samples.size())) + 1e-20);
}

// How far the wrap from the last frame to the first strays from the wave's own course, measured
// against the file's own motion: the error of a straight-line prediction across the seam divided
// by the 99.9th percentile of that error everywhere inside. Above 1 the seam stands out.
double SeamJump(const Sound& s) {
  const size_t n = s.Frames(), ch = static_cast<size_t>(s.channels);
  auto at = [&](size_t frame, size_t c) { return s.samples[(frame % n) * ch + c]; };
  std::vector<float> errors;
  errors.reserve(n * ch);
  for (size_t c = 0; c < ch; ++c)
    for (size_t i = 2; i < n; ++i) errors.push_back(std::fabs(at(i, c) - (2 * at(i - 1, c) - at(i - 2, c))));
  std::nth_element(errors.begin(), errors.begin() + static_cast<long>(errors.size() * 999 / 1000), errors.end());
  const float typical = std::max(1e-6f, errors[errors.size() * 999 / 1000]);
  double worst = 0;
  for (size_t c = 0; c < ch; ++c)
    for (size_t i : {n, n + 1})  // the first two frames, predicted from the last ones
      worst = std::max(worst, static_cast<double>(std::fabs(at(i, c) - (2 * at(i - 1, c) - at(i - 2, c)))));
  return worst / typical;
}

// A sine loop of `periods` whole or partial periods over one second, the fixture for SeamJump.
Sound SineLoop(double periods) {
  Sound s;
  s.channels = 1, s.rate = 44100, s.ok = true;
  for (int i = 0; i < 44100; ++i)
    s.samples.push_back(static_cast<float>(0.5 * std::sin(2 * M_PI * periods * i / 44100)));
  return s;
}

struct EffectCase {
  const char* file;
  double minSeconds, maxSeconds;
};

}  // namespace

TEST(SoundEffects, EachIsCleanMonoPcmAtAHealthyLevel) {
  const EffectCase cases[] = {
      {"002.wav", 0.5, 1.0},   // a life lost
      {"004.wav", 0.08, 0.25}, // a shot: short, it repeats while the button is held
      {"005.wav", 0.3, 0.7},   // red code destroyed
      {"098.wav", 0.04, 0.15}, // menu blip
      {"099.wav", 0.15, 0.4},  // online request and answer
  };
  for (const EffectCase& c : cases) {
    SCOPED_TRACE(c.file);
    const Sound s = ReadWav(FilesDir() + "/278/" + c.file);
    ASSERT_TRUE(s.ok);
    EXPECT_EQ(s.channels, 1);
    EXPECT_EQ(s.rate, 44100);
    EXPECT_EQ(s.bits, 16);
    EXPECT_GE(s.Seconds(), c.minSeconds);
    EXPECT_LE(s.Seconds(), c.maxSeconds);
    const float peak = PeakOf(s);
    EXPECT_GT(peak, 0.7f) << "quieter than -3 dBFS";
    EXPECT_LT(peak, 0.95f) << "no headroom: clipping";
    EXPECT_LT(std::fabs(MeanOf(s)), 0.002) << "DC offset";
    EXPECT_LT(std::fabs(s.samples.front()), 0.02f) << "does not start at rest";
    EXPECT_LT(std::fabs(s.samples.back()), 0.02f) << "does not end at rest";
  }
}

TEST(Music, ComposerSamplesAreAllThereAndSound) {
  std::vector<std::string> names;
  for (int n = 1; n <= 8; ++n) names.push_back("d1-" + std::to_string(n)), names.push_back("d2-" + std::to_string(n));
  for (int n = 1; n <= 4; ++n) {
    names.push_back("bass" + std::to_string(n));
    names.push_back("lead" + std::to_string(n));
  }
  for (int n = 1; n <= 3; ++n) names.push_back("accompany" + std::to_string(n));
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    const Sound s = ReadWav(FilesDir() + "/278/music/" + name + ".wav");
    ASSERT_TRUE(s.ok);
    EXPECT_EQ(s.channels, 1);
    EXPECT_EQ(s.rate, 44100);
    EXPECT_GT(PeakOf(s), 0.3f);
    EXPECT_LT(PeakOf(s), 0.95f);
    EXPECT_LT(std::fabs(MeanOf(s)), 0.002);
  }
}

TEST(Music, PatternFileUsesEverySectionAndStretchMode) {
  // Read the way the composer reads it: trimmed lines, bracketed headers, STRETCH settings, and
  // quoted patterns.
  std::ifstream in(FilesDir() + "/278/music/theme.ini");
  ASSERT_TRUE(in.is_open());
  const std::string sections[5] = {"[DRUMS", "[CHORDS", "[BASS", "[MELODY", "[ACCOMPANY"};
  int section = -1;
  int modes[5] = {-1, -1, -1, -1, -1};
  std::vector<std::string> patterns[5];
  const std::string notes = "zsxdcvgbhnjmq2w3er5t6y7ui9o0p[=]";
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t a = line.find_first_not_of(" \t"), b = line.find_last_not_of(" \t");
    line = a == std::string::npos ? "" : line.substr(a, b - a + 1);
    std::string upper = line;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (line.rfind("[", 0) == 0) {
      upper.erase(std::remove(upper.begin(), upper.end(), ']'), upper.end());
      for (int k = 0; k < 5; ++k)
        if (upper == sections[k]) section = k;
    } else if (section >= 0 && upper.rfind("STRETCH", 0) == 0) {
      auto ends = [&](const std::string& e) {
        return upper.size() >= e.size() && upper.compare(upper.size() - e.size(), e.size(), e) == 0;
      };
      if (ends("FALSE")) modes[section] = 0;
      else if (ends("RANDOM")) modes[section] = 1;
      else if (ends("RANDOM+")) modes[section] = 2;
      else if (ends("DOUBLE")) modes[section] = -2;
    } else if (section >= 0 && line.rfind("\"", 0) == 0) {
      line.erase(std::remove(line.begin(), line.end(), '"'), line.end());
      patterns[section].push_back(line);
    }
  }
  for (int k = 0; k < 5; ++k) {
    SCOPED_TRACE(sections[k]);
    EXPECT_GE(patterns[k].size(), 2u);
    for (const std::string& p : patterns[k]) {
      EXPECT_FALSE(p.empty());
      for (char ch : p) {
        const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        const bool valid = k == 0   ? (c == ' ' || (c >= '1' && c <= '8'))
                           : k == 1 ? notes.find(c) != std::string::npos
                                    : (c == ' ' || notes.find(c) != std::string::npos);
        EXPECT_TRUE(valid) << "'" << ch << "' in '" << p << "'";
      }
      if (k == 1) {
        EXPECT_EQ(p.size() % 4, 0u) << "a chord string is heard a cycle (4 chords) at a time";
      }
    }
  }
  EXPECT_EQ(std::set<int>(modes, modes + 5), (std::set<int>{-2, -1, 0, 1, 2}));
}

TEST(Music, LoopIsAMinuteOfCleanStereo) {
  const Sound s = ReadOgg(FilesDir() + "/278/loop.ogg");
  ASSERT_TRUE(s.ok);
  EXPECT_EQ(s.channels, 2);
  EXPECT_EQ(s.rate, 44100);
  EXPECT_GE(s.Seconds(), 60);
  EXPECT_LT(PeakOf(s), 0.99f) << "clipping";
  EXPECT_LT(std::fabs(MeanOf(s)), 0.002) << "DC offset";
  EXPECT_GT(DecibelsRms(s), -20);
  EXPECT_LT(DecibelsRms(s), -10);
}

TEST(Music, LoopEndJoinsItsStart) {
  // The measure first: a sine of whole periods wraps cleanly, one cut mid-period jumps.
  EXPECT_LT(SeamJump(SineLoop(440)), 1.0);
  EXPECT_GT(SeamJump(SineLoop(440.25)), 10.0);

  const Sound s = ReadOgg(FilesDir() + "/278/loop.ogg");
  ASSERT_TRUE(s.ok);
  EXPECT_LT(SeamJump(s), 1.0);
  // The seam also sits in a quiet moment, so a restart after a short gap does not click either.
  float edge = 0;
  for (size_t i = 0; i < 64 * 2; ++i)
    edge = std::max({edge, std::fabs(s.samples[i]), std::fabs(s.samples[s.samples.size() - 1 - i])});
  EXPECT_LT(edge, 0.1f);
}

TEST(Jingle, IsAShortCleanStereoSound) {
  const Sound s = ReadOgg(FilesDir() + "/Common/open.ogg");
  ASSERT_TRUE(s.ok);
  EXPECT_EQ(s.rate, 44100);
  EXPECT_GE(s.Seconds(), 1.0);
  EXPECT_LE(s.Seconds(), 4.0);
  EXPECT_GT(PeakOf(s), 0.5f);
  EXPECT_LT(PeakOf(s), 0.99f);
  EXPECT_LT(std::fabs(s.samples.back()), 0.01f) << "cut off while still sounding";
}
