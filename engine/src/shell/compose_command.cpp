// The composer's command: --compose NAME SEED plays a music file of the game folder in a small
// window through the audio back end the setup file selects, or with --wav FILE renders it into a
// WAVE file without a window or an audio device.

#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdio>
#include <cstring>

#include "audio/audio.h"
#include "core/core.h"
#include "input/input.h"
#include "render/render.h"
#include "shell/shell.h"

namespace {

// ---- Arguments -----------------------------------------------------------------------------------
// A whole decimal number within lo..hi, and nothing else.
bool ParseWhole(const std::string& text, int64_t lo, int64_t hi, int64_t& out) {
  int64_t value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || stop != end || value < lo || value > hi) return false;
  out = value;
  return true;
}

// A music name is a file name inside "music/": no folders, nothing unprintable.
bool ValidMusicName(const std::string& name) {
  if (name.empty() || name.size() > 200) return false;
  for (unsigned char c : name)
    if (c < 32 || c == 127 || c == '/' || c == '\\') return false;
  return true;
}

}  // namespace

bool TakeComposeArgument(int argc, char** argv, int& i, ComposeOptions& o) {
  const std::string arg = argv[i];
  const auto fail = [&](const std::string& message) {
    if (o.Error.empty()) o.Error = message;
    return true;
  };
  const auto number = [&](int64_t lo, int64_t hi, int64_t& out, const char* what) {
    if (i + 1 >= argc) return fail(arg + " needs " + what);
    const std::string text = argv[++i];
    if (!ParseWhole(text, lo, hi, out))
      return fail(arg + " takes " + what + " from " + std::to_string(lo) + " to " + std::to_string(hi) + ", not '" +
                  text + "'");
    return true;
  };
  if (arg == "--compose") {
    o.Wanted = true;
    if (i + 2 >= argc) {
      i = argc - 1;  // what follows is taken as the command's, not as other arguments
      return fail("--compose needs a NAME and a SEED");
    }
    o.Name = argv[++i];
    if (!ValidMusicName(o.Name)) fail("--compose takes the name of a file in music/ without folders, not '" + o.Name + "'");
    int64_t seed = 0;
    number(INT32_MIN, INT32_MAX, seed, "a whole-number SEED");
    o.Seed = seed;
  } else if (arg == "--wav") {
    o.OthersGiven = true;
    if (i + 1 >= argc || argv[i + 1][0] == '\0') return fail("--wav needs a FILE");
    o.WavFile = argv[++i];
  } else if (arg == "--seconds") {
    o.OthersGiven = true;
    int64_t seconds = 0;
    number(1, ComposeMaxSeconds, seconds, "a number of seconds");
    o.Seconds = static_cast<int>(seconds);
  } else if (arg == "--tempo") {
    o.OthersGiven = true;
    int64_t tempo = 0;
    number(2, 60000, tempo, "a tempo in ms");
    o.Tempo = static_cast<int>(tempo);
  } else {
    return false;
  }
  return true;
}

std::string ComposeArgumentError(const ComposeOptions& o) {
  if (!o.Error.empty()) return o.Error;
  if (o.OthersGiven && !o.Wanted) return "--wav, --seconds and --tempo go with --compose NAME SEED";
  return std::string();
}

namespace {

// ---- Rendering into a WAVE file ------------------------------------------------------------------------
void PutLe16(std::string& out, uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}
void PutLe32(std::string& out, uint32_t v) {
  PutLe16(out, v & 0xFFFF);
  PutLe16(out, v >> 16);
}

// The 44-byte header of a 16-bit stereo PCM file at 44 100 Hz holding frames frames.
std::string WaveHeader(uint32_t frames) {
  const uint32_t rate = 44100, bytes = frames * 4;
  std::string h = "RIFF";
  PutLe32(h, 36 + bytes);
  h += "WAVEfmt ";
  PutLe32(h, 16);
  PutLe16(h, 1);  // PCM
  PutLe16(h, 2);  // stereo
  PutLe32(h, rate);
  PutLe32(h, rate * 4);  // bytes a second
  PutLe16(h, 4);         // bytes a frame
  PutLe16(h, 16);        // bits a sample
  h += "data";
  PutLe32(h, bytes);
  return h;
}

// Renders into a temporary file beside path, renamed over it once complete: a failed render never
// leaves half a file, nor touches an older one.
int RenderToWave(const ComposeOptions& o, int64_t seed, const std::string& path) {
  const int seconds = o.Seconds > 0 ? o.Seconds : ComposeDefaultSeconds;
  bool rendered = false;
  errno = 0;
  const bool ok = WriteFileAtomic(path, [&](std::FILE* out) {
    const std::string header = WaveHeader(static_cast<uint32_t>(seconds) * 44100u);
    bool written = std::fwrite(header.data(), 1, header.size(), out) == header.size();
    // The samples are little-endian on every machine this builds for.
    rendered = written && RenderMusic(o.Name, seed, o.Tempo, seconds, [&](const int16_t* samples, int frames) {
                 if (written) written = std::fwrite(samples, 4, static_cast<size_t>(frames), out) == static_cast<size_t>(frames);
               });
    return rendered && written;
  });
  if (!ok) {
    if (errno == 0)
      std::fprintf(stderr, "%s: music/%s.ini could not be rendered into '%s'\n", ThisIdentity().ExecutableName, o.Name.c_str(), path.c_str());
    else
      std::fprintf(stderr, "%s: cannot write '%s': %s\n", ThisIdentity().ExecutableName, path.c_str(), std::strerror(errno));
    return 1;
  }
  std::printf("Wrote %s: %d s of music/%s.ini, seed %lld, tempo %d\n", path.c_str(), seconds, o.Name.c_str(),
              static_cast<long long>(seed), o.Tempo);
  return 0;
}

// ---- Playing in a window -------------------------------------------------------------------------------
constexpr int WindowWidth = 720, WindowHeight = 236;

// The composer's state in the window: what plays, the chords, and the grid of the current cycle with
// its step marked and the muted voices dimmed.
void DrawComposer(const ComposeOptions& o, int64_t seed) {
  const MusicState& m = Audio.Music;
  SetClsColor(12, 14, 32);
  Cls();
  SelectFont(nullptr);
  SetBlend(3);
  SetAlpha(1);
  SetColor(255, 255, 255);
  DrawString("music/" + o.Name + ".ini   seed " + std::to_string(seed) + "   tempo " + std::to_string(o.Tempo) +
                 " (" + std::to_string(m.stepMs) + " ms a step)",
             12, 10);
  SetColor(170, 190, 255);
  DrawString("progression cycle " + std::to_string(std::max(m.bar, 1)) + ", step " +
                 std::to_string(std::max(m.step, 0)) + ", cycles " + std::to_string(m.cycles + 1) + "   chords \"" +
                 m.chords + "\"",
             12, 32);

  static constexpr const char* Names[5] = {"Drums 1", "Drums 2", "Bass", "Melody", "Accomp."};
  static constexpr int Colours[5][3] = {{255, 120, 90}, {255, 190, 80}, {90, 200, 255}, {140, 255, 140}, {220, 140, 255}};
  const int left = 84, top = 62, cell = 9, row = 26;
  for (int v = 0; v < 5; ++v) {
    const int y = top + v * row;
    SetAlpha(m.muted[v] ? 0.4f : 1.0f);
    SetColor(200, 200, 210);
    DrawString(Names[v], 12, static_cast<float>(y + 2));
    for (int s = 0; s < 64; ++s) {
      const bool on = v < 2 ? m.grid[v][s] >= 1 && m.grid[v][s] <= 8 : m.grid[v][s] != 0;
      SetColor(Colours[v][0], Colours[v][1], Colours[v][2]);
      SetAlpha(on ? (m.muted[v] ? 0.3f : 1.0f) : 0.06f);
      const float height = v < 2 || !on ? 18.0f : std::clamp(m.grid[v][s] * 9.0f, 3.0f, 18.0f);
      DrawRect(static_cast<float>(left + s * cell), static_cast<float>(y + 18) - height, cell - 1.0f, height);
    }
  }
  if (m.step >= 0) {
    SetColor(255, 255, 255);
    SetAlpha(0.35f);
    DrawRect(static_cast<float>(left + m.step * cell), top - 4.0f, cell - 1.0f, 5.0f * row + 4.0f);
  }
  SetAlpha(1);
  SetColor(150, 150, 160);
  DrawString("Any key or closing the window stops the music.", 12, WindowHeight - 26.0f);
}

int PlayInWindow(const ComposeOptions& o, int64_t seed) {
  EnableOpenAL();
  Audio.DriverList = ListAudioDrivers();
  const std::string setup = ChoosePlayerFolder(Shell.FilesDir) + "/Setup.ini";
  if (FileExists(setup)) ReadSetup(setup);
  const std::string driver = SelectSetupAudioDriver();
  ChangeDir(GameFolder());
  LoadMusicSamples();

  SetAppTitle(WindowTitle() + " : music/" + o.Name + ".ini");
  if (!OpenScreen(WindowWidth, WindowHeight, 0, 60, 0)) {
    std::fprintf(stderr, "%s: cannot open a window (no display?); --wav FILE renders without one\n", ThisIdentity().ExecutableName);
    return 1;
  }
  StartMusic(o.Name, seed, o.Tempo);
  std::printf("Playing music/%s.ini, seed %lld, tempo %d, through %s. Any key or closing the window stops it.\n",
              o.Name.c_str(), static_cast<long long>(seed), o.Tempo, driver.c_str());
  std::fflush(stdout);

  const uint32_t start = ClockMs();
  uint32_t lastFrame = start;
  for (;;) {
    bool stop = TakeCloseRequest() != 0;
    for (int key = 1; key < 256; ++key) stop = TakeKeyHits(key) > 0 || stop;
    if (o.Seconds > 0 && static_cast<int32_t>(ClockMs() - start) >= o.Seconds * 1000) stop = true;
    if (stop) break;
    DrawComposer(o, seed);
    // Paced and ticked as the frame end does: 60 frames a second in 1 ms sleeps, then one step of
    // the music when it is due.
    FlushDrawing();
    do {
      SleepMs(1);
    } while (static_cast<double>(static_cast<int32_t>(ClockMs() - lastFrame)) < 1000.0 / 60.0 - 2.0);
    MusicTick();
    Flip(0);
    lastFrame = ClockMs();
  }
  CloseScreen();
  return 0;
}

}  // namespace

int RunCompose(const ComposeOptions& o, const std::string& filesDir) {
  CatchTerminationSignals();  // Ctrl+C stops the music like a key
  // The WAVE file is named from where the command was given.
  std::string wav = o.WavFile;
  if (!wav.empty() && wav[0] != '/') wav = CurrentDir() + "/" + wav;
  if (!ChangeDir(filesDir)) {
    std::fprintf(stderr, "%s: cannot enter '%s'\n", ThisIdentity().ExecutableName, filesDir.c_str());
    return 1;
  }
  Shell.FilesDir = CurrentDir();
  SetDefaultSetupValues();
  const std::string file = GameFolder() + "music/" + o.Name + ".ini";
  if (!FileExists(file)) {
    std::fprintf(stderr, "%s: there is no music file %s/%s\n", ThisIdentity().ExecutableName, Shell.FilesDir.c_str(), file.c_str());
    return 1;
  }
  const int64_t seed = o.Seed == -1 ? static_cast<int64_t>(ClockMs()) : o.Seed;
  if (wav.empty()) return PlayInWindow(o, seed);
  ChangeDir(GameFolder());
  return RenderToWave(o, seed, wav);
}
