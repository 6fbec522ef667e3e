#pragma once

#include <cstdint>

// Reproducible uniform noise in [-1, 1) (xorshift64), shared by the component tests.
class Noise {
public:
    explicit Noise(std::uint64_t seed) : state(seed) {}
    double next() {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return static_cast<double>(state >> 11) * 0x1.0p-52 - 1.0;
    }

private:
    std::uint64_t state;
};
