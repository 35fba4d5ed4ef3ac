// The shared random generator: a 64-bit linear congruential state with a permuted 32-bit output
// (PCG32), small, fast and the same on every platform.
#include "core/core.h"

#include <utility>

static uint32_t NextRandom() {
  uint64_t old = Core.RandomState;
  Core.RandomState = old * 6364136223846793005ULL + 1442695040888963407ULL;
  uint32_t xorshifted = static_cast<uint32_t>(((old >> 18u) ^ old) >> 27u);
  uint32_t rot = static_cast<uint32_t>(old >> 59u);
  return (xorshifted >> rot) | (xorshifted << ((32 - rot) & 31));
}

void SeedRnd(int64_t seed) {
  Core.RandomState = 0;
  NextRandom();
  Core.RandomState += static_cast<uint64_t>(seed);
  NextRandom();
}

int RandInt(int lo, int hi) {
  if (lo > hi) std::swap(lo, hi);
  const uint64_t span = static_cast<uint64_t>(static_cast<int64_t>(hi) - lo) + 1;
  const uint64_t r = (static_cast<uint64_t>(NextRandom()) << 32 | NextRandom()) % span;
  return static_cast<int>(lo + static_cast<int64_t>(r));
}

double RandReal(double lo, double hi) {
  const double u = NextRandom() / 4294967296.0;  // 0 <= u < 1
  return lo + (hi - lo) * u;
}
