// Any bytes as "Setup.ini": reading never crashes, hangs or leaves a value negative, and the file
// written from what was read reads back to the same settings.
//
// setup_file_fuzz -write_seeds=DIR writes seeds into DIR and exits: the file as the game writes it
// with settings away from the defaults, and a damaged copy of it.
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "audio/audio.h"
#include "core/core.h"
#include "input/input.h"
#include "shell/shell.h"

namespace {

bool WriteFile(const std::string& path, const std::string& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  return true;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& line : lines) out += line + "\r\n";
  return out;
}

void Defaults() {
  Audio.DriverList = {"FreeMix", "OpenAL Default"};
  SetDefaultSetupValues();
  SetDefaultControls();
}

void WriteSeeds(const std::string& folder) {
  ::mkdir(folder.c_str(), 0755);
  Defaults();
  auto& values = Core.SetupValues;
  values[SetupFullscreen] = 1;
  values[SetupEngine] = 1;
  values[SetupWidth] = 1920;
  values[SetupHeight] = 1080;
  values[SetupESS] = 1;
  values[SetupMaster] = 80;
  values[SetupSound] = 35;
  values[SetupMusic] = 0;
  values[SetupAudioDriver] = 1;
  Input.ControlTable[0] = 38;
  const std::string written = Joined(SetupFileLines());
  WriteFile(folder + "/written.ini", written);
  // Damaged: lone CRs and a lost line end, numbers in the runtime's other bases, negative and
  // overflowing values, slots out of range, a second "=", a line without one, and cut off mid-line.
  std::string damaged = written;
  damaged.replace(damaged.find("\r\n"), 2, "\r");
  damaged.replace(damaged.find("Height=1080\r\n"), 13, "Height=1080");
  damaged += "Width=$780\nHeight=%1110000100\nMaster=-2147483648\nSound= 99999999999\nMusic\n"
             "GfxEngine = dx7 = dx9\nKey=100,5\nKey=-7,3\nKey=12\nAudioDriver = Missing\nKey=4,";
  WriteFile(folder + "/damaged.ini", damaged);
}

std::array<int, 100> ReadSettings(const std::string& path) {
  Defaults();
  ReadSetup(path);
  return Core.SetupValues;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  WriteSeedsWhenAsked(*argc, *argv, WriteSeeds);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = (access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") +
                                  std::string("/vq-fuzz-setup-") + std::to_string(::getpid()) + ".ini";
  if (!WriteFile(path, std::string(reinterpret_cast<const char*>(data), size))) return 0;
  const std::array<int, 100> values = ReadSettings(path);
  for (int v : values) Check(v >= 0);  // every value read is an absolute value
  const auto controls = Input.ControlTable;

  // Written and read again: the same settings, and every control slot that was written.
  Check(WriteFile(path, Joined(SetupFileLines())));
  const std::array<int, 100> again = ReadSettings(path);
  for (int entry : {SetupFullscreen, SetupEngine, SetupWidth, SetupHeight, SetupESS, SetupMaster, SetupSound,
                    SetupMusic, SetupAudioDriver})
    Check(again[entry] == values[entry]);
  for (int slot = 0; slot <= 99; ++slot)
    if (controls[slot] > 0) Check(Input.ControlTable[slot] == controls[slot]);
  std::remove(path.c_str());
  return 0;
}
