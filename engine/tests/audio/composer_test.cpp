#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <map>
#include <new>
#include <set>

#include "audio/audio.h"
#include "audio/test_sounds.h"
#include "core/core.h"
#include "input/input.h"
#include "support/test_support.h"

// Every allocation of this test program is counted, so a test can show that a stretch of code makes none.
namespace {
std::atomic<long> Allocations{0};
}
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
  ++Allocations;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop

namespace {

// A note as the recording back end saw it start.
struct Note {
  int step;    // steps since the music started, from 0
  int voice;   // 0..4
  int sample;  // kit sample 1..8 (drums) or instrument number 1..8
  float rate, volume, pan;
  bool panSet, rateSet;
  bool operator==(const Note& o) const {
    return step == o.step && voice == o.voice && sample == o.sample && rate == o.rate && volume == o.volume &&
           pan == o.pan;
  }
};

// A file of 16-bit mono samples.
void WriteWave(const std::string& path) {
  std::string b = "RIFF";
  auto le = [&](uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) b += static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  le(36 + 200, 4);
  b += "WAVEfmt ";
  le(16, 4), le(1, 2), le(1, 2), le(8000, 4), le(16000, 4), le(2, 2), le(16, 2);
  b += "data";
  le(200, 4);
  b += std::string(200, '\x10');
  WriteFile(path, b);
}

}  // namespace

class ComposerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetAllState();
    SetDefaultSetupValues();
    UseRecordingAudio();
    ASSERT_TRUE(ChangeDir(dir.path()));
    ::mkdir("music", 0755);
    // Every slot a sound of its own, long enough to ring until the next note cuts it.
    for (int slot = 1; slot <= 48; ++slot)
      if (slot % 10 >= 1 && slot % 10 <= 8) Audio.MusicSamples[slot] = SoundOf(60000);
    Audio.InstrumentCount = {0, 8, 8, 8};
  }

  void Write(const std::string& text) { WriteFile("music/t.ini", text); }

  // The slot a sound fills, 0 for none of the composer's.
  int SlotOf(const TSound* sound) const {
    for (int slot = 1; slot < 49; ++slot)
      if (Audio.MusicSamples[slot].get() == sound) return slot;
    return 0;
  }

  // Starts music/t.ini with steps of 10 ms and plays the given number of steps, one a frame of 5 ms
  // (so every other frame only advances time); returns the notes that started.
  std::vector<Note> Play(int64_t seed, int steps, const std::string& name = "t") {
    StartMusic(name, seed, 20);
    return Continue(steps);
  }
  std::vector<Note> Continue(int steps) {
    std::vector<Note> notes;
    int played = 0;
    for (int frame = 0; played < steps && frame < 100 + 4 * steps; ++frame) {
      SleepMs(5);
      const size_t from = Audio.Recorded.size();
      const int stepBefore = Audio.Music.step, cyclesBefore = Audio.Music.cycles;
      MusicTick();
      if (Audio.Music.step == stepBefore && Audio.Music.cycles == cyclesBefore) {
        EXPECT_EQ(Audio.Recorded.size(), from) << "sound without a step";
        continue;
      }
      std::set<int> panned, rated;
      for (size_t i = from; i < Audio.Recorded.size(); ++i) {
        const AudioEvent& e = Audio.Recorded[i];
        if (e.What == AudioEvent::PanSet) panned.insert(e.Channel);
        if (e.What == AudioEvent::RateSet) rated.insert(e.Channel);
        if (e.What != AudioEvent::Started) continue;
        const int slot = SlotOf(e.Sound);
        EXPECT_NE(slot, 0) << "a sound that is not one of the composer's samples";
        // Slots 1..8 are voice 0's, 11..18 voice 1's, 21..28 the bass's, and so on.
        notes.push_back({stepsPlayed + played, slot / 10, slot % 10, e.Rate, e.Volume, e.Pan,
                         panned.count(e.Channel) > 0, rated.count(e.Channel) > 0});
      }
      ++played;
    }
    EXPECT_EQ(played, steps) << "the music stopped stepping";
    stepsPlayed += played;
    return notes;
  }

  // A seed whose first progression lets voice v play.
  int64_t SeedWithVoice(int v) {
    for (int64_t seed = 1; seed < 200; ++seed) {
      StartMusic("t", seed, 20);
      if (Audio.Music.muted[v] == 0) return seed;
    }
    ADD_FAILURE() << "no seed lets voice " << v << " play";
    return 1;
  }

  TempDir dir;
  int stepsPlayed = 0;
};

TEST_F(ComposerTest, AFourCharacterDrumPatternStrikesOnSteps0And4OfEvery8) {
  Write("[DRUMS]\n\"1 2 \"\n");
  const auto notes = Play(238, 256);
  std::set<int> struck;
  for (const Note& n : notes) {
    ASSERT_LT(n.voice, 2) << "only drums have a pattern";
    EXPECT_TRUE((n.sample == 1 && n.step % 8 == 0) || (n.sample == 2 && n.step % 8 == 4))
        << "sample " << n.sample << " on step " << n.step;
    EXPECT_FLOAT_EQ(n.pan, n.voice == 0 ? 0.3f : -0.3f);
    EXPECT_FALSE(n.rateSet) << "drums play as recorded";
    struck.insert(n.step);
  }
  // One drum voice at least plays in every progression: every fourth step is struck.
  for (int s = 0; s < 256; s += 4) EXPECT_TRUE(struck.count(s)) << "step " << s;
  EXPECT_EQ(struck.size(), 64u);
}

TEST_F(ComposerTest, StretchModesFromTheFile) {
  struct Case {
    const char* line;
    std::set<std::string> results;
  } cases[] = {
      {"", {"q w "}},                                  // no STRETCH line: half speed
      {"STRETCH=FALSE", {"qw"}},
      {"Stretch = double", {"q   w   "}},
      {"STRETCH=RANDOM", {"qw", "q w "}},
      {"  stretch=random+  ", {"qw", "q w ", "q   w   "}},
      {"STRETCH=SIDEWAYS", {"q w "}},                  // an unknown ending keeps the mode
      {"STRETCH=DOUBLE\nSTRETCH=FALSE", {"qw"}},       // the last one counts
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    Write(std::string("STRETCH=DOUBLE\n[BASS]\n") + c.line + "\n\"qw\"\n[MELODY]\n\"e\"\n");
    std::set<std::string> seen;
    for (int64_t seed = 1; seed <= 30; ++seed) {
      StartMusic("t", seed, 20);
      seen.insert(Audio.Music.bass);
      EXPECT_EQ(Audio.Music.melody, "e ");  // a mode belongs to its own section
    }
    EXPECT_EQ(seen, c.results);
  }

  // What plays: q on step 0, w on step 4, every 8 steps, each times the chord.
  Write("[CHORDS]\n\"qqqq\"\n[BASS]\nSTRETCH=DOUBLE\n\"qw\"\n");
  const int64_t seed = SeedWithVoice(2);
  const auto notes = Play(seed, 64);
  int bass = 0;
  for (const Note& n : notes) {
    ASSERT_EQ(n.voice, 2);
    ++bass;
    ASSERT_TRUE(n.step % 8 == 0 || n.step % 8 == 4) << n.step;
    EXPECT_FLOAT_EQ(n.rate, n.step % 8 == 0 ? 1.0f : 1.122f);
  }
  EXPECT_EQ(bass, 16);
}

TEST_F(ComposerTest, AProgressionLastsAsManyCyclesAsItHasFourChords) {
  struct Case {
    const char* chords;
    int steps;  // its length in steps
  } cases[] = {{"qwertyui", 128}, {"qwerty", 64}, {"2w3er5t6y7ui", 192}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.chords);
    Write(std::string("[CHORDS]\n\"") + c.chords + "\"\n[BASS]\nSTRETCH=FALSE\n\"q\"\n[MELODY]\nSTRETCH=FALSE\n\"q\"\n");
    stepsPlayed = 0;
    const auto notes = Play(3, 3 * 128);
    std::set<float> heard;
    std::set<int> stepsWithNotes;
    for (const Note& n : notes) {
      ASSERT_GE(n.voice, 2);
      const int within = n.step % c.steps;
      EXPECT_FLOAT_EQ(n.rate, NoteRatio(c.chords[within / 16])) << "step " << n.step;
      heard.insert(n.rate);
      stepsWithNotes.insert(n.step);
    }
    EXPECT_EQ(stepsWithNotes.size(), 3u * 128);  // the bass or the melody plays every step
    EXPECT_EQ(heard.size(), static_cast<size_t>(c.steps / 16));  // chords past the last whole cycle: never
  }
}

// Drum patterns start again with every cycle; the bass, the melody and the accompaniment run on
// through the cycles of a progression and start again with the next one. Patterns two cycles long, one
// sample or note for the first cycle and another for the second, over progressions of three cycles.
TEST_F(ComposerTest, PitchedPatternsRunOnAcrossTheCyclesOfAProgressionWhileDrumsStartAgain) {
  const std::string drums = std::string(64, '1') + std::string(64, '2');
  const std::string notes = std::string(64, 'q') + std::string(64, 'w');
  std::string file = "[DRUMS]\nSTRETCH=FALSE\n\"" + drums + "\"\n[CHORDS]\n\"qqqqqqqqqqqq\"\n";
  for (const char* section : {"[BASS]", "[MELODY]", "[ACCOMPANY]"})
    file += std::string(section) + "\nSTRETCH=FALSE\n\"" + notes + "\"\n";
  Write(file);
  std::array<std::set<float>, 6> rates;  // the pitched notes heard in each of six cycles
  std::array<int, 6> drumNotes{};
  for (const Note& n : Play(7, 6 * 64)) {
    const int cycle = n.step / 64;
    if (n.voice < 2) {
      EXPECT_EQ(n.sample, 1) << "voice " << n.voice << " on step " << n.step;
      ++drumNotes[cycle];
    } else {
      rates[cycle].insert(n.rate);
    }
  }
  // Cycles 1, 2, 3 of each progression play the pattern's first, second and again its first half.
  const std::set<float> first{1.0f}, second{NoteRatio('w')};
  const std::array<std::set<float>, 6> expected{first, second, first, first, second, first};
  for (int cycle = 0; cycle < 6; ++cycle) {
    EXPECT_EQ(rates[cycle], expected[cycle]) << "cycle " << cycle;
    EXPECT_GT(drumNotes[cycle], 0) << "cycle " << cycle;
  }
}

// A muted voice that comes in with the next progression starts early, in the progression's last
// cycle only: style 1 for the whole last chord, style 2 for the last eight steps. A progression of six
// chords ends within its one cycle before its last chord is reached, so nothing leads in.
TEST_F(ComposerTest, AVoiceThatComesInWithTheNextProgressionLeadsIn) {
  struct Case {
    const char* chords;
    int steps;                   // the progression's length in steps
    int style1From, style2From;  // the step within it where each style comes in; steps for never
  } cases[] = {{"qqqq", 64, 48, 56}, {"qqqqqqqq", 128, 112, 120}, {"qqqqqq", 64, 64, 64}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.chords);
    // Every voice that sounds plays on every step.
    std::string file = std::string("[DRUMS]\nSTRETCH=FALSE\n\"1\"\n[CHORDS]\n\"") + c.chords + "\"\n";
    for (const char* section : {"[BASS]", "[MELODY]", "[ACCOMPANY]"}) file += std::string(section) + "\nSTRETCH=FALSE\n\"q\"\n";
    Write(file);
    StartMusic("t", 17, 20);
    stepsPlayed = 0;
    std::array<int, 3> leadIns{};  // by style: voices that came in early
    int comingIn = 0;              // muted voices that come in with the next progression
    std::set<int> cameIn;          // the voices that led in during the progression before
    for (int p = 0; p < 12; ++p) {
      std::vector<Note> notes = Continue(1);
      const MusicState m = Audio.Music;  // this progression's mutes and styles
      const std::vector<Note> rest = Continue(c.steps - 1);
      notes.insert(notes.end(), rest.begin(), rest.end());
      std::array<std::set<int>, 5> heard;
      for (const Note& n : notes) heard[n.voice].insert(n.step - p * c.steps);
      for (int v : cameIn) EXPECT_EQ(m.muted[v], 0) << "voice " << v << " led in and then stayed out";
      cameIn.clear();
      for (int v = 0; v < 5; ++v) {
        SCOPED_TRACE("progression " + std::to_string(p) + ", voice " + std::to_string(v));
        const int from = !m.muted[v]         ? 0
                         : m.nextMuted[v]    ? c.steps
                         : m.style[v] == 1   ? c.style1From
                                             : c.style2From;
        std::set<int> expected;
        for (int s = from; s < c.steps; ++s) expected.insert(s);
        EXPECT_EQ(heard[v], expected) << "muted " << m.muted[v] << ", next " << m.nextMuted[v] << ", style " << m.style[v];
        if (m.muted[v] && !m.nextMuted[v]) ++comingIn;
        if (m.muted[v] && from < c.steps) {
          ++leadIns[m.style[v]];
          cameIn.insert(v);
        }
      }
    }
    EXPECT_GT(comingIn, 3);
    if (c.style1From < c.steps) {
      EXPECT_GT(leadIns[1], 0) << "no voice of style 1 came in";
      EXPECT_GT(leadIns[2], 0) << "no voice of style 2 came in";
    }
  }
}

TEST_F(ComposerTest, VoicesHaveTheirPansAndGains) {
  Write(
      "[DRUMS]\n\"1 2 3 4 5678\"\n[CHORDS]\n\"qwer\"\n\"nrqt\"\n[BASS]\n\"q i t\"\n"
      "[MELODY]\nSTRETCH=RANDOM+\n\"i7t3rtq\"\n[ACCOMPANY]\nSTRETCH=DOUBLE\n\"q3t3\"\n");
  Core.SetupValues[SetupMusic] = 80;
  Core.SetupValues[SetupMaster] = 50;
  const std::vector<Note> notes = Play(11, 64 * 12);
  // The volumes are read at each note.
  Core.SetupValues[SetupMusic] = 100;
  Core.SetupValues[SetupMaster] = 100;
  const auto louder = Continue(64 * 12);
  std::array<int, 5> count{};
  for (const auto* list : {&notes, &louder}) {
    const float full = list == &notes ? 0.4f : 1.0f;
    for (const Note& n : *list) {
      ++count[n.voice];
      const float pans[5] = {0.3f, -0.3f, -0.3f, 0, 0.3f};
      EXPECT_FLOAT_EQ(n.pan, pans[n.voice]) << "voice " << n.voice;
      EXPECT_EQ(n.panSet, n.voice != 3) << "the melody is never panned";
      EXPECT_EQ(n.rateSet, n.voice >= 2) << "drums play as recorded";
      EXPECT_FLOAT_EQ(n.volume, n.voice == 4 ? full / 2 : full) << "voice " << n.voice;
    }
  }
  for (int v = 0; v < 5; ++v) EXPECT_GT(count[v], 0) << "voice " << v << " never played";
}

TEST_F(ComposerTest, TheSameSeedAndFileGiveTheSameMusic) {
  Write(
      "[DRUMS]\n\"1323132313231325\"\n\"1 3 2 3 \"\n\"5 3 5 3 5 3 6 7 \"\n[CHORDS]\n\"nrqtnrqt\"\n\"nwen\"\n"
      "[BASS]\nSTRETCH=RANDOM\n\"q q i q \"\n\"qiqi\"\n[MELODY]\nSTRETCH=RANDOM+\n\"i 7 t 3 \"\n\"q3t7i7t3\"\n"
      "[ACCOMPANY]\n\"q3t3\"\n\"3t3t\"\n");
  const auto first = Play(238, 64 * 10);
  stepsPlayed = 0;
  const auto again = Play(238, 64 * 10);
  EXPECT_EQ(first, again);
  // The shared generator comes out of a restart in the same state too.
  StartMusic("t", 238, 20);
  const int next = RandInt(0, 1 << 30);
  StartMusic("t", 238, 20);
  EXPECT_EQ(RandInt(0, 1 << 30), next);

  stepsPlayed = 0;
  const auto other = Play(239, 64 * 10);
  EXPECT_NE(first, other);
  EXPECT_GT(first.size(), 400u);
}

TEST_F(ComposerTest, AnyFileAndMissingSamplesPlaySafely) {
  std::string many = "[DRUMS]\n";
  for (int i = 1; i <= 1200; ++i) many += "\"" + std::to_string(1 + i % 8) + "\"\n";
  many += "[CHORDS]\n\"q\"\n[BASS]\n\"q\"\n";
  static const char Binary[] = "[DRUMS]\n\"\x01\xff\x80\"\n\0\0\0\n[BASS]\n\"\x7f\"\n";
  const std::string longLine = "[MELODY]\n\"" + std::string(100000, 'q') + "\"\n[CHORDS]\n\"qqqq\"\n";
  struct Case {
    const char* what;
    std::string file;
  } cases[] = {
      {"empty file", ""},
      {"headers without patterns", "[DRUMS]\nSTRETCH=DOUBLE\n[CHORDS]\n[BASS]\n[MELODY]\n[ACCOMPANY]\n"},
      {"empty patterns", "[DRUMS]\n\"\"\n[CHORDS]\n\"\"\n[BASS]\n\"\"\n\"q\"\n"},
      {"no chords", "[BASS]\n\"qwer\"\n[MELODY]\n\"qwer\"\n[DRUMS]\n\"1\"\n"},
      {"rest chords and short chords", "[CHORDS]\n\"zq\"\n\"z\"\n[BASS]\n\"q\"\n[MELODY]\n\"q\"\n"},
      {"lines outside sections", "\"1111\"\nSTRETCH=FALSE\n[Drums ]\n\"2222\"\n[drums]\n\"1\"\n[NOTES]\n\"3\"\n"},
      {"1200 drum patterns", many},
      {"a very long pattern", longLine},
      {"binary", std::string(Binary, sizeof Binary - 1)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Write(c.file);
    stepsPlayed = 0;
    const auto notes = Play(5, 64 * 20);
    EXPECT_TRUE(Audio.Music.playing);
    for (const Note& n : notes) {
      EXPECT_TRUE(std::isfinite(n.rate) && n.rate > 0) << n.rate;
      EXPECT_TRUE(n.voice >= 2 || (n.sample >= 1 && n.sample <= 8));
    }
    if (c.what == std::string("no chords") || c.what == std::string("rest chords and short chords")) {
      // A chord that is missing or a rest silences the pitched voices.
      for (const Note& n : notes)
        EXPECT_TRUE(n.voice < 2 || (n.step % 64) / 16 == 1) << "voice " << n.voice << " on step " << n.step;
    }
    if (c.what == std::string("lines outside sections")) {
      // Nothing counts before the first known header; an unknown header keeps the section.
      EXPECT_EQ(Audio.Music.Patterns[SectionDrums], (std::vector<std::string>{"1", "3"}));
      EXPECT_EQ(Audio.Music.StretchMode[SectionDrums], -1);
    }
  }

  // Past the 998th pattern nothing is stored, yet the count goes on and a choice may land there.
  Write(many);
  StartMusic("t", 1, 20);
  EXPECT_EQ(Audio.Music.PatternCount[SectionDrums], 1200);
  EXPECT_EQ(Audio.Music.Patterns[SectionDrums].size(), 998u);
  int silent = 0;
  for (int64_t seed = 1; seed <= 40; ++seed) {
    StartMusic("t", seed, 20);
    silent += Audio.Music.drum1.empty() + Audio.Music.drum2.empty();
  }
  EXPECT_GT(silent, 0);
  EXPECT_LT(silent, 40);

  // Samples missing (kit 1's sample 2, every lead, all accompaniments but the first): exactly their
  // notes go, the other voices play on as before.
  Write("[DRUMS]\n\"12\"\n[CHORDS]\n\"qqqq\"\n[BASS]\n\"q\"\n[MELODY]\n\"q\"\n[ACCOMPANY]\n\"q\"\n");
  stepsPlayed = 0;
  std::vector<Note> expected;
  for (const Note& n : Play(9, 64 * 20))
    if (!(n.voice == 0 && n.sample == 2) && n.voice != 3 && !(n.voice == 4 && n.sample != 1)) expected.push_back(n);
  Audio.MusicSamples[2].reset();
  for (int slot = 31; slot <= 38; ++slot) Audio.MusicSamples[slot].reset();
  for (int slot = 42; slot <= 48; ++slot) Audio.MusicSamples[slot].reset();
  stepsPlayed = 0;
  EXPECT_EQ(Play(9, 64 * 20), expected);
  EXPECT_GT(expected.size(), 500u);
  // Any seed at all.
  for (int64_t seed : {INT64_MAX, INT64_MIN, int64_t{0}}) {
    stepsPlayed = 0;
    EXPECT_FALSE(Play(seed, 200).empty());
  }

  // No samples at all: silence.
  Audio.MusicSamples = {};
  Audio.InstrumentCount = {};
  stepsPlayed = 0;
  EXPECT_TRUE(Play(9, 200).empty());
}

TEST_F(ComposerTest, AMissingFileChangesNothingButThePatterns) {
  StartMusic("nothing", 5, 20);
  EXPECT_FALSE(Audio.Music.playing);
  MusicTick();
  SleepMs(1000);
  MusicTick();
  EXPECT_TRUE(Audio.Recorded.empty());

  Write("[DRUMS]\n\"1\"\n");
  Play(5, 10);
  const MusicState before = Audio.Music;
  StartMusic("nothing", 77, 20);
  EXPECT_TRUE(Audio.Music.playing);
  EXPECT_EQ(Audio.Music.seed, before.seed);
  EXPECT_EQ(Audio.Music.step, before.step);
  EXPECT_EQ(Audio.Music.PatternCount[SectionDrums], 0);
  EXPECT_TRUE(Audio.Music.Patterns[SectionDrums].empty());
}

TEST_F(ComposerTest, StepsFollowTheClockOneAFrameAtMost) {
  Write("[DRUMS]\n\"1\"\n");
  UseFakeClock(5000);
  StartMusic("t", 1, 100);  // 50 ms a step
  EXPECT_EQ(Audio.Music.stepMs, 50);
  EXPECT_EQ(Audio.Music.nextStepTime, 5250u);
  Input.FakeNow = 5250;
  MusicTick();
  EXPECT_EQ(Audio.Music.step, -1);  // due once the time is past
  Input.FakeNow = 5251;
  MusicTick();
  EXPECT_EQ(Audio.Music.step, 0);
  // A late frame plays one step; the next ones catch up a step a frame.
  Input.FakeNow = 5251 + 500;
  for (int expected : {1, 2, 3}) {
    MusicTick();
    EXPECT_EQ(Audio.Music.step, expected);
  }
  EXPECT_EQ(Audio.Music.nextStepTime, 5250u + 4 * 50);

  // Seed -1 takes the clock.
  StartMusic("t", -1, 100);
  EXPECT_EQ(Audio.Music.seed, 5751);
}

TEST_F(ComposerTest, TicksThatOnlyAdvanceTimeAllocateNothing) {
  Write("[DRUMS]\nSTRETCH=FALSE\n\"1                               \"\n");
  Play(1, 2);  // steps 0 and 1; step 0 struck
  const long before = Allocations.load();
  for (int frame = 0; frame < 2 * 29; ++frame) {  // steps 2..30, each with a frame that is not due
    SleepMs(5);
    MusicTick();
  }
  EXPECT_EQ(Audio.Music.step, 30);
  EXPECT_EQ(Allocations.load(), before);
}

TEST_F(ComposerTest, SamplesLoadIntoTheirSlotsAndInstrumentsAreCounted) {
  Audio.MusicSamples = {};
  for (const char* name : {"d1-1", "d1-8", "d2-3", "bass1", "bass3", "accompany8"}) WriteWave(std::string("music/") + name + ".wav");
  WriteFile("music/lead2.wav", "not a sound");  // there, but undecodable
  LoadMusicSamples();
  std::set<int> filled;
  for (int slot = 0; slot < 49; ++slot)
    if (Audio.MusicSamples[slot]) filled.insert(slot);
  EXPECT_EQ(filled, (std::set<int>{1, 8, 13, 21, 23, 48}));
  EXPECT_EQ(Audio.InstrumentCount, (std::array<int, 4>{0, 3, 2, 8}));
}
