// What the fuzz targets share: a check that names the broken promise, and the -write_seeds=DIR mode
// of the targets that make their own seeds.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <cstring>

// A broken promise: says which, then stops the run with the input kept.
#define Check(ok)                                                                 \
  do {                                                                            \
    if (!(ok)) {                                                                  \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #ok); \
      __builtin_trap();                                                           \
    }                                                                             \
  } while (0)

// When the command line holds -write_seeds=DIR: writes the seeds into DIR and ends the process.
template <typename WriteSeedsFn>
void WriteSeedsWhenAsked(int argc, char** argv, WriteSeedsFn writeSeeds) {
  constexpr const char* flag = "-write_seeds=";
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], flag, std::strlen(flag)) == 0) {
      writeSeeds(argv[i] + std::strlen(flag));
      std::exit(0);
    }
  }
}
