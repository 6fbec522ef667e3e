#pragma once

// Shared by the tests that hold two ways of running the lattices against
// each other bit for bit.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "dsp/test_noise.h"
#include "dsp/warped_lattice.h"

inline std::vector<double> randomCoefficients(int32_t count, Noise& noise) {
    std::vector<double> c(static_cast<size_t>(count));
    for (double& v : c) {
        v = 0.9 * noise.next();
    }
    return c;
}

// Every field a paired path may touch, compared bit for bit.
inline void expectSameFilter(const WarpedLatticeFilter& a, const WarpedLatticeFilter& b, const char* what) {
    for (int row = 0; row < 4; ++row) {
        for (int32_t i = 0; i < WarpedLatticeFilter::kMaxStages; ++i) {
            ASSERT_EQ(a.storage[row][i], b.storage[row][i]) << what << " row " << row << " entry " << i;
        }
    }
    EXPECT_EQ(a.lastOutput, b.lastOutput) << what;
    EXPECT_EQ(a.warp, b.warp) << what;
    EXPECT_EQ(a.resonance, b.resonance) << what;
    EXPECT_EQ(a.warpGain, b.warpGain) << what;
    EXPECT_EQ(a.gainCompensation, b.gainCompensation) << what;
    EXPECT_EQ(a.dither, b.dither) << what;
    EXPECT_EQ(a.stages, b.stages) << what;
    EXPECT_EQ(a.bufferToggle, b.bufferToggle) << what;
}
