// The plain SSE2 pair against the vector-extension pair the build uses by
// default: the lattice kernels instantiated with each must give the same
// bits, and so must the helpers the analyser's two-wide lag chains use.

#include "dsp/double_pair.h"
#include "dsp/lattice_lanes.h"

#include <gtest/gtest.h>

#include "dsp/lattice_compare.h"
#include "dsp/test_noise.h"

#include <cmath>
#include <cstring>
#include <memory>

#if defined(__SSE2__)

namespace {

template <class Pair> void expectPair(Pair value, double first, double second, const char* what) {
    // Compared as bits, so that the sign of a zero counts.
    const double lanes[2] = {value[0], value[1]};
    const double expected[2] = {first, second};
    EXPECT_EQ(std::memcmp(lanes, expected, sizeof(lanes)), 0)
        << what << ": " << lanes[0] << ", " << lanes[1] << " instead of " << first << ", " << second;
}

TEST(PairForms, Sse2HelpersPlaceEachChannelInItsLane) {
    const double values[4] = {1.5, -2.25, 3.0, -0.0};
    const Sse2Pair a = pairOf<Sse2Pair>(values[0], values[1]);
    const Sse2Pair b = loadPairUnaligned<Sse2Pair>(values + 2);
    expectPair(a, 1.5, -2.25, "pairOf");
    expectPair(b, 3.0, -0.0, "loadPairUnaligned");
    expectPair(highLow(a, b), -2.25, 3.0, "highLow");
    expectPair(loadPair<Sse2Pair>(values, values + 2, 1), -2.25, -0.0, "loadPair");
    // Negation flips the sign of zero, as scalar negation does.
    expectPair(-b, -3.0, 0.0, "negation");
    expectPair(1.0 - a, -0.5, 3.25, "scalar minus pair");
    expectPair(a / 2.0, 0.75, -1.125, "pair over scalar");
    double first[2] = {};
    double second[2] = {};
    storePair(first, second, 1, a);
    expectPair(pairOf<Sse2Pair>(first[1], second[1]), 1.5, -2.25, "storePair");
}

// Both channels' inverse and synthesis filters, run through the kernels with
// lane type Pair: different warps, smoothing, coefficients and state phases,
// glides every 8 samples and new targets now and then.
template <class Pair> struct Rig {
    WarpedLatticeInverse inverse[2];
    WarpedLatticeSynthesis synthesis[2];
    lattice::LaneFilters<Pair, WarpedLatticeInverse> inverses{&inverse[0], &inverse[1]};
    lattice::LaneFilters<Pair, WarpedLatticeSynthesis> syntheses{&synthesis[0], &synthesis[1]};
    double outputs[2][500] = {};

    explicit Rig(int32_t stages) {
        Noise noise(41);
        for (int c = 0; c < 2; ++c) {
            const std::vector<double> k = randomCoefficients(stages, noise);
            inverse[c].smoothing = synthesis[c].smoothing = c == 0 ? 0.9 : 0.4;
            inverse[c].setTargetCoefficientsRotated(k.data(), stages, 0.3f * static_cast<float>(c));
            synthesis[c].setTargetCoefficientsRotated(k.data(), stages, 0.6f * static_cast<float>(c));
        }
        // The second channel's state buffers and dither run half a cycle out.
        synthesis[1].process(0.25);
        for (int n = 0; n < 500; ++n) {
            if (n % 8 == 0) {
                const double w = 0.1 + 0.8 * std::fabs(noise.next());
                lattice::glide(inverses, pairOf<Pair>(w, 0.9 * w), pairOf<Pair>(0.97, 0.9));
                lattice::glide(syntheses, pairOf<Pair>(0.5 * w, w), pairOf<Pair>(0.99, 0.6));
            }
            if (n % 200 == 199) {
                const std::vector<double> k = randomCoefficients(stages, noise);
                for (int c = 0; c < 2; ++c) {
                    inverse[c].setTargetCoefficients(k.data(), stages);
                    synthesis[c].setTargetCoefficients(k.data(), stages);
                }
            }
            const Pair e = lattice::inverseProcess(inverses, pairOf<Pair>(noise.next(), noise.next()));
            const Pair y = lattice::synthesisProcess(syntheses, 0.75 * e);
            outputs[0][n] = y[0];
            outputs[1][n] = y[1];
        }
    }
};

TEST(PairForms, LatticeKernelsGiveTheSameBitsWithEitherPair) {
    for (int32_t stages : {0, 1, 2, 37}) {
        const auto vector = std::make_unique<Rig<VectorPair>>(stages);
        const auto sse2 = std::make_unique<Rig<Sse2Pair>>(stages);
        for (int c = 0; c < 2; ++c) {
            for (int n = 0; n < 500; ++n) {
                ASSERT_EQ(vector->outputs[c][n], sse2->outputs[c][n])
                    << stages << " stages, channel " << c << ", sample " << n;
            }
            expectSameFilter(vector->inverse[c], sse2->inverse[c], "inverse");
            expectSameFilter(vector->synthesis[c], sse2->synthesis[c], "synthesis");
        }
    }
}

} // namespace

#endif
