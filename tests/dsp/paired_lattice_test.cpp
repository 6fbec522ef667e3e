// The paired lattice paths against the filters' own operations: every output,
// coefficient and state entry must agree bit for bit, whatever the warps,
// stage counts, glides and double-buffer phases of the two channels.

#include "dsp/stereo_lattice_chain.h"
#include "dsp/warped_lattice.h"

#include <gtest/gtest.h>

#include "dsp/lattice_compare.h"
#include "dsp/test_noise.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <tuple>
#include <vector>

namespace {

// One channel's filters as the reference runs them, and the same for the paired path.
template <typename Filter> struct Channel {
    Filter reference;
    Filter paired;
    void load(const std::vector<double>& c, double smoothing, float rotation) {
        for (Filter* f : {&reference, &paired}) {
            f->smoothing = smoothing;
            f->setTargetCoefficientsRotated(c.data(), static_cast<int32_t>(c.size()), rotation);
        }
    }
};

class PairedLattice : public ::testing::TestWithParam<std::tuple<int32_t, double>> {};

TEST_P(PairedLattice, InverseMatchesTwoSingleFiltersThroughGlidesAndNewTargets) {
    const auto [stages, warp] = GetParam();
    Noise noise(11 + static_cast<uint64_t>(stages));
    std::unique_ptr<Channel<WarpedLatticeInverse>> ch[2] = {
        std::make_unique<Channel<WarpedLatticeInverse>>(), std::make_unique<Channel<WarpedLatticeInverse>>()};
    // The second channel has its own warp, coefficients and smoothing.
    const double warps[2] = {warp, 0.95 - warp * 0.5};
    for (int c = 0; c < 2; ++c) {
        ch[c]->load(randomCoefficients(stages, noise), c == 0 ? 0.9 : 0.0, 0.3f * static_cast<float>(c));
    }
    for (int n = 0; n < 600; ++n) {
        if (n % 8 == 0) {
            for (int c = 0; c < 2; ++c) {
                ch[c]->reference.updateCoefficients(warps[c], 0.9 + 0.1 * c);
                ch[c]->paired.updateCoefficients(warps[c], 0.9 + 0.1 * c);
            }
        }
        if (n % 200 == 199) {
            for (int c = 0; c < 2; ++c) {
                ch[c]->load(randomCoefficients(stages, noise), 0.5, 0.0f);
            }
        }
        double x1 = noise.next();
        double x2 = noise.next();
        const double y1 = ch[0]->reference.process(x1);
        const double y2 = ch[1]->reference.process(x2);
        WarpedLatticeInverse::processPair(ch[0]->paired, ch[1]->paired, x1, x2);
        ASSERT_EQ(x1, y1) << n;
        ASSERT_EQ(x2, y2) << n;
    }
    expectSameFilter(ch[0]->reference, ch[0]->paired, "channel 1");
    expectSameFilter(ch[1]->reference, ch[1]->paired, "channel 2");
}

TEST_P(PairedLattice, SynthesisAndItsGlideMatchTwoSingleFilters) {
    const auto [stages, warp] = GetParam();
    Noise noise(23 + static_cast<uint64_t>(stages));
    std::unique_ptr<Channel<WarpedLatticeSynthesis>> ch[2] = {
        std::make_unique<Channel<WarpedLatticeSynthesis>>(),
        std::make_unique<Channel<WarpedLatticeSynthesis>>()};
    const double warps[2] = {warp, 0.95 - warp * 0.5};
    for (int c = 0; c < 2; ++c) {
        ch[c]->load(randomCoefficients(stages, noise), c == 0 ? 0.9 : 0.3, 0.5f * static_cast<float>(c));
    }
    // The second channel starts half a cycle out: its state buffers and
    // offset sign run opposite to the first channel's.
    ch[1]->reference.process(0.25);
    ch[1]->paired.process(0.25);
    for (int n = 0; n < 600; ++n) {
        if (n % 8 == 0) {
            const double target1 = warps[0] * (1.0 - 0.1 * noise.next());
            const double target2 = warps[1] * (1.0 - 0.1 * noise.next());
            ch[0]->reference.updateCoefficients(target1, 0.95);
            ch[1]->reference.updateCoefficients(target2, 0.5);
            WarpedLatticeSynthesis::updateCoefficientsPair(ch[0]->paired, ch[1]->paired, target1, 0.95,
                                                           target2, 0.5);
        }
        if (n % 200 == 199) {
            for (int c = 0; c < 2; ++c) {
                ch[c]->load(randomCoefficients(stages, noise), 0.0, 0.0f);
            }
        }
        double x1 = noise.next();
        double x2 = noise.next();
        const double y1 = ch[0]->reference.process(x1);
        const double y2 = ch[1]->reference.process(x2);
        WarpedLatticeSynthesis::processPair(ch[0]->paired, ch[1]->paired, x1, x2);
        ASSERT_EQ(x1, y1) << n;
        ASSERT_EQ(x2, y2) << n;
    }
    expectSameFilter(ch[0]->reference, ch[0]->paired, "channel 1");
    expectSameFilter(ch[1]->reference, ch[1]->paired, "channel 2");
}

INSTANTIATE_TEST_SUITE_P(StagesAndWarps, PairedLattice,
                         ::testing::Combine(::testing::Values(0, 1, 2, 10, 70),
                                            ::testing::Values(0.0, 0.5, 0.95)));

TEST(PairedLattice, DifferentStageCountsTakeThePerObjectPath) {
    Noise noise(5);
    WarpedLatticeSynthesis reference[2], paired[2];
    const std::vector<double> c = randomCoefficients(12, noise);
    for (int ch = 0; ch < 2; ++ch) {
        for (WarpedLatticeSynthesis* f : {&reference[ch], &paired[ch]}) {
            f->setCoefficientsNow(c.data(), ch == 0 ? 12 : 5);
            f->updateCoefficients(0.6, 0.95);
        }
    }
    for (int n = 0; n < 50; ++n) {
        double x1 = noise.next();
        double x2 = noise.next();
        const double y1 = reference[0].process(x1);
        const double y2 = reference[1].process(x2);
        WarpedLatticeSynthesis::processPair(paired[0], paired[1], x1, x2);
        ASSERT_EQ(x1, y1);
        ASSERT_EQ(x2, y2);
    }
    expectSameFilter(reference[1], paired[1], "channel 2");
}

// --- the pipelined stereo chain -------------------------------------------------

// The reference runs A, a stand-in decimator and S per channel and sample, as
// the engine's plain path does; the chain runs the same through its calls.
struct ChainRig {
    WarpedLatticeInverse refA[2], chainA[2];
    WarpedLatticeSynthesis refS[2], chainS[2];
    StereoLatticeChain chain{chainA[0], chainA[1], chainS[0], chainS[1]};

    void load(const std::vector<double>& c, int32_t count, float rotation) {
        for (int ch = 0; ch < 2; ++ch) {
            for (WarpedLatticeFilter* f : {static_cast<WarpedLatticeFilter*>(&refA[ch]),
                                           static_cast<WarpedLatticeFilter*>(&refS[ch])}) {
                f->setTargetCoefficientsRotated(c.data(), count, rotation);
            }
            // A synthesis glide waiting in the chain runs before its targets change.
            chain.applySynthesisUpdate();
            chainA[ch].setTargetCoefficientsRotated(c.data(), count, rotation);
            chainS[ch].setTargetCoefficientsRotated(c.data(), count, rotation);
        }
    }
    void glide(double aWarp, const double sWarp[2], const double sResonance[2]) {
        for (int ch = 0; ch < 2; ++ch) {
            refA[ch].updateCoefficients(aWarp, 0.97);
            chainA[ch].updateCoefficients(aWarp, 0.97);
            refS[ch].updateCoefficients(sWarp[ch], sResonance[ch]);
        }
        chain.updateSynthesisCoefficients(sWarp[0], sResonance[0], sWarp[1], sResonance[1]);
    }
    static double decimate(double v) { return 0.75 * v; }
    void step(double x1, double x2, double& y1, double& y2, double& z1, double& z2) {
        y1 = refS[0].process(decimate(refA[0].process(x1)));
        y2 = refS[1].process(decimate(refA[1].process(x2)));
        chain.inverse(x1, x2);
        x1 = decimate(x1);
        x2 = decimate(x2);
        chain.synthesis(x1, x2);
        z1 = x1;
        z2 = x2;
    }
};

class PipelinedChain : public ::testing::TestWithParam<std::tuple<int32_t, double>> {};

TEST_P(PipelinedChain, MatchesEachFiltersOwnProcessSampleBySample) {
    const auto [stages, warp] = GetParam();
    Noise noise(31 + static_cast<uint64_t>(stages));
    auto rig = std::make_unique<ChainRig>();
    for (int ch = 0; ch < 2; ++ch) {
        for (WarpedLatticeFilter* f : {static_cast<WarpedLatticeFilter*>(&rig->refA[ch]),
                                       static_cast<WarpedLatticeFilter*>(&rig->chainA[ch]),
                                       static_cast<WarpedLatticeFilter*>(&rig->refS[ch]),
                                       static_cast<WarpedLatticeFilter*>(&rig->chainS[ch])}) {
            f->smoothing = 0.8;
        }
    }
    rig->load(randomCoefficients(stages, noise), stages, 0.0f);

    // Host-like blocks of varying length: the control step every 8 samples,
    // a new analysis now and then (sometimes on a group's first sample), and
    // the chain settled at the end of every block.
    int32_t count = stages;
    int sample = 0;
    for (int block = 0; block < 40; ++block) {
        const int length = 1 + static_cast<int>(37.0 * (noise.next() + 1.0));
        for (int i = 0; i < length; ++i, ++sample) {
            if (i % 8 == 0) {
                const double sWarp[2] = {warp, warp * (0.9 + 0.1 * noise.next())};
                const double sResonance[2] = {0.99, 0.6 + 0.3 * noise.next()};
                rig->glide(warp, sWarp, sResonance);
                if (sample % 3 == 0) {
                    // Two glides with no sample between them.
                    rig->glide(warp * 0.9, sResonance, sWarp);
                }
            }
            if (sample % 61 == 0 || (sample % 97 == 0 && i % 8 == 0)) {
                // Now and then a different stage count, as after a "# Stages" change.
                if (sample % 5 == 0) {
                    count = std::max(0, stages - 1 - static_cast<int32_t>(sample % 3));
                } else {
                    count = stages;
                }
                rig->load(randomCoefficients(std::max(count, 1), noise), count, 0.25f);
            }
            double y1, y2, z1, z2;
            rig->step(noise.next(), noise.next(), y1, y2, z1, z2);
            ASSERT_EQ(z1, y1) << "sample " << sample;
            ASSERT_EQ(z2, y2) << "sample " << sample;
        }
        rig->chain.settle();
        for (int ch = 0; ch < 2; ++ch) {
            expectSameFilter(rig->refA[ch], rig->chainA[ch], "A section");
            expectSameFilter(rig->refS[ch], rig->chainS[ch], "S section");
        }
        ASSERT_FALSE(::testing::Test::HasFailure()) << "block " << block;
    }
}

INSTANTIATE_TEST_SUITE_P(StagesAndWarps, PipelinedChain,
                         ::testing::Combine(::testing::Values(0, 1, 2, 10, 70),
                                            ::testing::Values(0.0, 0.5, 0.95)));

// Filters loaded with different stage counts never fuse; the chain still
// gives each filter's own results.
TEST(PipelinedChain, UnequalStageCountsFallBackToThePairedFilters) {
    Noise noise(3);
    auto rig = std::make_unique<ChainRig>();
    const std::vector<double> c = randomCoefficients(20, noise);
    rig->load(c, 20, 0.0f);
    rig->refA[1].setTargetCoefficients(c.data(), 7);
    rig->chainA[1].setTargetCoefficients(c.data(), 7);
    for (int n = 0; n < 100; ++n) {
        if (n % 8 == 0) {
            const double sWarp[2] = {0.4, 0.5};
            const double sResonance[2] = {0.9, 0.8};
            rig->glide(0.3, sWarp, sResonance);
        }
        double y1, y2, z1, z2;
        rig->step(noise.next(), noise.next(), y1, y2, z1, z2);
        ASSERT_EQ(z1, y1) << n;
        ASSERT_EQ(z2, y2) << n;
    }
    rig->chain.settle();
    EXPECT_FALSE(rig->chain.updatePending());
    expectSameFilter(rig->refS[0], rig->chainS[0], "S section");
    expectSameFilter(rig->refS[1], rig->chainS[1], "S section");
}

} // namespace
