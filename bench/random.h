// A fixed-seed generator for the benchmarks' inputs, so every run makes
// the same files.
#pragma once

#include <cstdint>

struct Random {
  explicit Random(uint64_t seed) : state(seed) {}
  uint32_t Next() {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return static_cast<uint32_t>(state >> 16);
  }
  uint32_t Below(uint32_t n) { return Next() % n; }

  uint64_t state;
};
