// Deterministic pseudo-random numbers for the phantom: the same seed gives the same
// anatomy and noise on every machine and every run (no std::random distributions,
// whose output the standard leaves to the library).
#pragma once

#include <cstdint>

namespace phantom {

// SplitMix64 finaliser: a good 64-bit hash of one integer.
inline std::uint64_t mix64(std::uint64_t z)
{
    z += 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next() { return mix64(state_++); }
    double uniform() { return double(next() >> 11) * 0x1.0p-53; } // [0, 1)
    double uniform(double lo, double hi) { return lo + (hi - lo) * uniform(); }

private:
    std::uint64_t state_;
};

} // namespace phantom
