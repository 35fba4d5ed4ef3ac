// Any bytes as "Setup.ini": reading never crashes, hangs or leaves a control slot out of range.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "audio/audio.h"
#include "core/core.h"
#include "input/input.h"
#include "shell/shell.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = "/tmp/vq-fuzz-setup-" + std::to_string(::getpid()) + ".ini";
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  Audio.DriverList = {"FreeMix", "OpenAL Default"};
  SetDefaultSetupValues();
  SetDefaultControls();
  ReadSetup(path);
  for (int v : Core.SetupValues)
    if (v < 0) __builtin_trap();  // every value read is an absolute value
  std::remove(path.c_str());
  return 0;
}
