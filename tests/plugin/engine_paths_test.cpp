// The engine's fast path (both channels' lattices side by side, pipelined
// across samples) against its plain path (every component's own `process`,
// one channel after the other): every output sample and every lattice state
// must agree bit for bit, for the factory program and the heaviest settings,
// in host blocks of any length and with parameters moving between blocks.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <iterator>
#include <memory>
#include <random>
#include <vector>

#if defined(__SSE2__)
#include <xmmintrin.h>
#endif

#include <gtest/gtest.h>

#include "support/fake_host.h"

using namespace param;

namespace {

// 70 stages, 256-sample analysis blocks, every route at an extreme, both LFOs
// running, strong feedback, saturation, decimation and smoothing.
void heaviestSettings(PluginEffect& effect) {
    effect.setParameter(kStages, 1.0f);
    effect.setParameter(kBlockSize, std::sqrt(240.0f / 44083.0f));
    for (int i = kFirstRoute; i <= kLastRoute; ++i) {
        effect.setParameter(i, (i % 2) ? 1.0f : 0.0f);
    }
    effect.setParameter(kLfo1Shape, 0.0f);
    effect.setParameter(kLfo2Shape, 7.0f);
    effect.setParameter(kLfo1Freq, 0.5f);
    effect.setParameter(kLfo2Freq, 0.3f);
    effect.setParameter(kFeedback, 0.9f);
    effect.setParameter(kDelay, 0.25f);
    effect.setParameter(kSaturation, 0.7f);
    effect.setParameter(kDecimation, 0.3f);
    effect.setParameter(kSmoothing, 0.5f);
    effect.setParameter(kMix, 1.0f);
}

struct Scenario {
    std::function<void(PluginEffect&)> setUp;
    int frames = 44100;
    int silentFrom = -1;     // input is silent from this frame on
    bool varyBlocks = false; // host blocks of 1 to 700 frames instead of 256
    bool automate = false;   // continuous parameters move between blocks
    bool replacing = true;
};

struct Render {
    std::vector<float> left, right;
    std::unique_ptr<PluginEffect> effect;
};

Render render(const Scenario& scenario, bool paired) {
    Render result;
    result.effect = makeEffect();
    PluginEffect& effect = *result.effect;
    effect.engine.pairedLattices = paired;
    // The random LFO shape draws from a fixed seed, so both renders see one table.
    effect.engine.lfo1.fixedSeed = 5u;
    effect.engine.lfo2.fixedSeed = 6u;
    if (scenario.setUp) {
        scenario.setUp(effect);
    }

    std::mt19937 rng(17);
    std::uniform_real_distribution<float> sample(-0.9f, 0.9f);
    std::uniform_int_distribution<int> blockLength(1, 700);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    const int frames = scenario.frames;
    std::vector<float> inL(frames), inR(frames);
    for (int i = 0; i < frames; ++i) {
        const bool silent = scenario.silentFrom >= 0 && i >= scenario.silentFrom;
        inL[i] = silent ? 0.0f : sample(rng);
        inR[i] = silent ? 0.0f : sample(rng);
    }
    result.left.assign(frames, 0.25f);
    result.right.assign(frames, -0.25f);
    // Continuous parameters only: their moves exercise new stage counts,
    // warps, delays (down to none) and the cross switch.
    const int automated[] = {kBlockSize,   kStages,     kSmoothing,  kAWarp,      kARes,
                             kARotate,     kSaturation, kDecimation, kBufferRate, kSWarp,
                             kSRotate,     kSRes,       kDelay,      kFeedback,   kCutoff,
                             kCrossSwitch, kLfo1Freq,   kLfo2Freq,   kMix,        kFirstRoute + 7};
    for (int start = 0; start < frames;) {
        const int n = std::min(scenario.varyBlocks ? blockLength(rng) : 256, frames - start);
        if (scenario.automate && unit(rng) < 0.3f) {
            const int last = static_cast<int>(std::size(automated)) - 1;
            const int index = automated[std::uniform_int_distribution<int>(0, last)(rng)];
            const float value = unit(rng);
            // Feedback held below its top third keeps the loop finite.
            effect.setParameter(index, index == kFeedback ? 0.6f * value : value);
        }
        float* in[2] = {inL.data() + start, inR.data() + start};
        float* out[2] = {result.left.data() + start, result.right.data() + start};
        if (scenario.replacing) {
            effect.processReplacing(in, out, n);
        } else {
            effect.process(in, out, n);
        }
        start += n;
    }
    return result;
}

void expectSameLattice(const WarpedLatticeFilter& a, const WarpedLatticeFilter& b) {
    EXPECT_EQ(std::memcmp(a.storage, b.storage, sizeof(a.storage)), 0);
    EXPECT_EQ(a.warp, b.warp);
    EXPECT_EQ(a.resonance, b.resonance);
    EXPECT_EQ(a.gainCompensation, b.gainCompensation);
    EXPECT_EQ(a.warpGain, b.warpGain);
    EXPECT_EQ(a.dither, b.dither);
    EXPECT_EQ(a.stages, b.stages);
    EXPECT_EQ(a.bufferToggle, b.bufferToggle);
}

void expectSamePaths(const Scenario& scenario) {
    const Render fast = render(scenario, true);
    const Render plain = render(scenario, false);
    const auto frames = static_cast<size_t>(scenario.frames);
    size_t finite = 0;
    for (size_t i = 0; i < frames; ++i) {
        // Bit patterns, so that NaN and signed zeros count too.
        ASSERT_EQ(std::memcmp(&fast.left[i], &plain.left[i], sizeof(float)), 0)
            << "left, frame " << i << ": " << fast.left[i] << " vs " << plain.left[i];
        ASSERT_EQ(std::memcmp(&fast.right[i], &plain.right[i], sizeof(float)), 0)
            << "right, frame " << i << ": " << fast.right[i] << " vs " << plain.right[i];
        finite += std::isfinite(fast.left[i]) ? 1 : 0;
    }
    // A comparison of two NaN streams would prove little.
    EXPECT_GT(finite, frames / 2);
    const Engine& a = fast.effect->engine;
    const Engine& b = plain.effect->engine;
    EXPECT_FALSE(a.latticeChain.updatePending());
    for (int c = 0; c < 2; ++c) {
        expectSameLattice(a.aSections[c], b.aSections[c]);
        expectSameLattice(a.sSections[c], b.sSections[c]);
        EXPECT_EQ(a.dcBlockers[c].state, b.dcBlockers[c].state);
        EXPECT_EQ(a.feedbackFilters[c].lastOutput, b.feedbackFilters[c].lastOutput);
    }
    EXPECT_EQ(std::memcmp(a.coefficients, b.coefficients, sizeof(a.coefficients)), 0);
}

} // namespace

TEST(EnginePaths, FactoryProgramInVaryingHostBlocks) {
    Scenario s;
    s.frames = 2 * 44100;
    s.varyBlocks = true;
    expectSamePaths(s);
}

TEST(EnginePaths, HeaviestSettings) {
    Scenario s;
    s.setUp = heaviestSettings;
    expectSamePaths(s);
}

TEST(EnginePaths, HeaviestSettingsWithMovingParametersAndBlocks) {
    Scenario s;
    s.setUp = heaviestSettings;
    s.varyBlocks = true;
    s.automate = true;
    expectSamePaths(s);
}

TEST(EnginePaths, FactoryProgramWithMovingParametersAccumulating) {
    Scenario s;
    s.frames = 2 * 44100;
    s.varyBlocks = true;
    s.automate = true;
    s.replacing = false;
    expectSamePaths(s);
}

// No delay at all: the feedback returns the very next sample, and the cross
// switch sends each channel's wet signal into the other.
TEST(EnginePaths, ShortestFeedbackLoopCrossed) {
    Scenario s;
    s.setUp = [](PluginEffect& effect) {
        heaviestSettings(effect);
        effect.setParameter(kFeedback, 0.5f);
        effect.setParameter(kDelay, 0.0f);
        effect.setParameter(kCrossSwitch, 1.0f);
        effect.setParameter(kAWarp, 0.0f); // the analysis without warp
        effect.setParameter(kStages, 0.3f);
    };
    s.frames = 22050;
    s.varyBlocks = true;
    expectSamePaths(s);
}

TEST(EnginePaths, SilenceAfterLoud) {
    Scenario s;
    s.frames = 3 * 44100;
    s.silentFrom = 44100;
    expectSamePaths(s);
}

// After long silence the flushed arithmetic leaves no subnormal number in the
// states that used to settle on them, and the caller's floating-point control
// comes back unchanged from every call.
TEST(EnginePaths, LongSilenceLeavesNoSubnormalStateAndTheCallersModeStands) {
    auto effect = makeEffect();
    StereoBlock block(1024);
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> u(-0.9f, 0.9f);
    for (int i = 0; i < block.frames(); ++i) {
        block.inL[i] = u(rng);
        block.inR[i] = u(rng);
    }
    for (int n = 0; n < 44; ++n) {
        effect->processReplacing(block.inputs(), block.outputs(), block.frames());
    }
    std::fill(block.inL.begin(), block.inL.end(), 0.0f);
    std::fill(block.inR.begin(), block.inR.end(), 0.0f);
#if defined(__SSE2__)
    const unsigned callerMode = _mm_getcsr();
#endif
    const Engine& engine = effect->engine;
    auto subnormal = [](double v) { return std::fpclassify(v) == FP_SUBNORMAL; };
    // Ten seconds: the DC blockers' state reaches the subnormal range after about eight.
    for (int n = 0; n < 10 * 44; ++n) {
        effect->processReplacing(block.inputs(), block.outputs(), block.frames());
#if defined(__SSE2__)
        ASSERT_EQ(_mm_getcsr(), callerMode);
#endif
        for (int c = 0; c < 2; ++c) {
            for (int i = 0; i < WarpedLatticeFilter::kMaxStages; ++i) {
                ASSERT_FALSE(subnormal(engine.aSections[c].stateA[i]) ||
                             subnormal(engine.aSections[c].stateB[i]))
                    << "A section " << c << " stage " << i << " after " << n << " blocks";
                ASSERT_FALSE(subnormal(engine.sSections[c].stateA[i]) ||
                             subnormal(engine.sSections[c].stateB[i]));
            }
            ASSERT_FALSE(subnormal(engine.dcBlockers[c].state)) << n;
            ASSERT_FALSE(subnormal(engine.decimators[c].lastOutput)) << n;
            ASSERT_FALSE(subnormal(engine.feedbackFilters[c].y1)) << n;
        }
        ASSERT_FALSE(subnormal(engine.limiter.gainReductionDb)) << n;
    }
}
