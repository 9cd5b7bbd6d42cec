// The player's own pseudo-random generator: the same seed gives the same sequence on every
// compiler and standard library (seed 0 included).
#pragma once

#include <cstdint>

namespace varlo {

class Random {
  public:
    void Seed(uint32_t seed) { state_ = seed; }

    // SplitMix64: every 64-bit state, 0 included, is a good starting point.
    uint64_t Next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }

    // A uniformly distributed integer from 1 to n (n >= 1), without modulo bias: draws that
    // fall into the incomplete last block of the 64-bit range are drawn again.
    int Draw(int n) {
        const uint64_t range = static_cast<uint64_t>(n);
        const uint64_t limit = UINT64_MAX - UINT64_MAX % range;
        uint64_t value = Next();
        while (value >= limit) value = Next();
        return static_cast<int>(value % range) + 1;
    }

  private:
    uint64_t state_ = 0;
};

}  // namespace varlo
