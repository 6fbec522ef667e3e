// The engine end to end, measured as a listener would: what the output holds
// for settings with a known answer, and spectra where the chain should whiten
// and re-impose an envelope.

#include <cmath>
#include <complex>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "support/fake_host.h"

using namespace param;

namespace {

constexpr double kPi = 3.14159265358979323846;

void fillNoise(StereoBlock& block, unsigned seed, float level = 0.5f) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> u(-level, level);
    for (int i = 0; i < block.frames(); ++i) {
        block.inL[i] = u(rng);
        block.inR[i] = u(rng);
    }
}

// Runs a whole signal through the effect in host blocks of `blockSize`.
void render(PluginEffect& effect, StereoBlock& block, int blockSize, bool replacing = true) {
    for (int start = 0; start < block.frames(); start += blockSize) {
        const int n = std::min(blockSize, block.frames() - start);
        float* in[2] = {block.inL.data() + start, block.inR.data() + start};
        float* out[2] = {block.outL.data() + start, block.outR.data() + start};
        if (replacing) {
            effect.processReplacing(in, out, n);
        } else {
            effect.process(in, out, n);
        }
    }
}

double energy(const std::vector<float>& x, int from, int to) {
    double e = 0.0;
    for (int i = from; i < to; ++i) {
        e += static_cast<double>(x[i]) * x[i];
    }
    return e;
}

// Magnitude of one DFT bin of a Hann-windowed stretch.
double magnitudeAt(const std::vector<float>& x, int from, int length, double frequency,
                   double rate = 44100.0) {
    std::complex<double> sum = 0.0;
    for (int i = 0; i < length; ++i) {
        const double w = 0.5 - 0.5 * std::cos(2.0 * kPi * i / length);
        sum += w * x[from + i] * std::polar(1.0, -2.0 * kPi * frequency * i / rate);
    }
    return std::abs(sum);
}

// A sharp two-pole resonance at `frequency` driven by noise.
std::vector<float> resonantNoise(int frames, double frequency, unsigned seed) {
    std::mt19937 rng(seed);
    std::normal_distribution<double> n(0.0, 0.01);
    const double r = 0.995, w = 2.0 * kPi * frequency / 44100.0;
    double y1 = 0.0, y2 = 0.0;
    std::vector<float> out(frames);
    for (int i = 0; i < frames; ++i) {
        const double y = n(rng) + 2.0 * r * std::cos(w) * y1 - r * r * y2;
        y2 = y1;
        y1 = y;
        out[i] = static_cast<float>(y);
    }
    return out;
}

} // namespace

TEST(EngineOutput, MixZeroIsTheDryInputTimesTheOutputGain) {
    auto effect = makeEffect();
    effect->setParameter(kMix, 0.0f);
    effect->setParameter(kOut, 0.8f);
    effect->setParameter(kFeedback, 0.7f);
    StereoBlock block(4096);
    fillNoise(block, 1);
    render(*effect, block, 512);
    for (int i = 0; i < block.frames(); ++i) {
        ASSERT_NEAR(block.outL[i], block.inL[i] * 0.4096, 1e-6) << i; // 0.8^4
        ASSERT_NEAR(block.outR[i], block.inR[i] * 0.4096, 1e-6) << i;
    }
}

TEST(EngineOutput, OutZeroIsSilence) {
    auto effect = makeEffect();
    effect->setParameter(kOut, 0.0f);
    effect->setParameter(kMix, 1.0f);
    StereoBlock block(2048);
    fillNoise(block, 2);
    render(*effect, block, 256);
    for (int i = 0; i < block.frames(); ++i) {
        ASSERT_EQ(block.outL[i], 0.0f);
        ASSERT_EQ(block.outR[i], 0.0f);
    }
}

TEST(EngineOutput, SaturationBendsFullScale) {
    // With every other stage transparent, a held 1.0 comes out as 0.8 at full saturation.
    auto effect = makeEffect();
    effect->setParameter(kMix, 1.0f);
    effect->setParameter(kSaturation, 1.0f);
    effect->setParameter(kBlockSize, 0.0f); // no buffer-rate window: the stage passes its input
    effect->setParameter(kDecimation, 0.0f);
    effect->engine.decimators[0].setPeriod(0.0);
    StereoBlock block(1);
    block.inL[0] = 1.0f;
    block.inR[0] = 1.0f;
    effect->processReplacing(block.inputs(), block.outputs(), 1);
    // The decimator holds and droops on its first call; the second sample is taken.
    effect->processReplacing(block.inputs(), block.outputs(), 1);
    EXPECT_NEAR(block.outL[0], 0.8f, 1e-6);
}

TEST(FeedbackPath, NothingReturnsWithFeedbackZero) {
    auto burstThenSilence = [](float feedback) {
        auto effect = makeEffect();
        effect->setParameter(kMix, 1.0f);
        effect->setParameter(kFeedback, feedback);
        effect->setParameter(kDelay, 0.1f);
        effect->setParameter(kFilterType, 0.4f); // all-pass: the echo keeps its level
        StereoBlock block(44100);
        std::mt19937 rng(3);
        std::uniform_real_distribution<float> u(-0.5f, 0.5f);
        for (int i = 0; i < 2000; ++i) {
            block.inL[i] = block.inR[i] = u(rng);
        }
        render(*effect, block, 256);
        // After two analysis blocks of silence the lattices are transparent again.
        return energy(block.outL, 30000, 44100) + energy(block.outR, 30000, 44100);
    };
    EXPECT_LT(burstThenSilence(0.0f), 1e-12);
    EXPECT_GT(burstThenSilence(0.9f), 1e-3);
}

TEST(FeedbackPath, CrossSwitchSwapsTheChannels) {
    auto rightEcho = [](float cross) {
        auto effect = makeEffect();
        effect->setParameter(kMix, 1.0f);
        effect->setParameter(kFeedback, 0.9f);
        effect->setParameter(kDelay, 0.05f);
        effect->setParameter(kFilterType, 0.4f);
        effect->setParameter(kCrossSwitch, cross);
        StereoBlock block(22050);
        std::mt19937 rng(4);
        std::uniform_real_distribution<float> u(-0.5f, 0.5f);
        for (int i = 0; i < 2000; ++i) {
            block.inL[i] = u(rng); // left only
        }
        render(*effect, block, 512);
        return energy(block.outR, 0, block.frames());
    };
    EXPECT_LT(rightEcho(0.0f), 1e-12);
    EXPECT_GT(rightEcho(1.0f), 1e-3);
}

TEST(HostCalls, AccumulatingCallAddsToTheBuffers) {
    auto a = makeEffect();
    auto b = makeEffect();
    StereoBlock replaced(3000), added(3000);
    fillNoise(replaced, 5);
    fillNoise(added, 5);
    for (int i = 0; i < added.frames(); ++i) {
        added.outL[i] = 0.25f;
        added.outR[i] = -0.5f;
    }
    render(*a, replaced, 300, true);
    render(*b, added, 300, false);
    for (int i = 0; i < replaced.frames(); ++i) {
        ASSERT_EQ(added.outL[i], 0.25f + replaced.outL[i]) << i;
        ASSERT_EQ(added.outR[i], -0.5f + replaced.outR[i]) << i;
    }
}

TEST(HostCalls, InPlaceBuffersGiveTheSameOutput) {
    auto a = makeEffect();
    auto b = makeEffect();
    StereoBlock separate(5000);
    fillNoise(separate, 6);
    std::vector<float> left = separate.inL, right = separate.inR;
    render(*a, separate, 128);
    for (int start = 0; start < 5000; start += 128) {
        const int n = std::min(128, 5000 - start);
        float* io[2] = {left.data() + start, right.data() + start};
        b->processReplacing(io, io, n);
    }
    EXPECT_EQ(left, separate.outL);
    EXPECT_EQ(right, separate.outR);
}

TEST(HostCalls, NonFiniteInputSamplesEnterAsZero) {
    auto clean = makeEffect();
    auto dirty = makeEffect();
    for (auto* e : {clean.get(), dirty.get()}) {
        e->setParameter(kMix, 1.0f);
        e->setParameter(kFeedback, 0.8f);
        e->setParameter(kDelay, 0.01f);
    }
    StereoBlock a(20000), b(20000);
    fillNoise(a, 7);
    fillNoise(b, 7);
    a.inL[100] = 0.0f;
    b.inL[100] = std::numeric_limits<float>::quiet_NaN();
    a.inR[5000] = 0.0f;
    b.inR[5000] = -std::numeric_limits<float>::infinity();
    render(*clean, a, 256);
    render(*dirty, b, 256);
    EXPECT_EQ(a.outL, b.outL);
    EXPECT_EQ(a.outR, b.outR);
}

#if defined(__x86_64__) || defined(__i386__)
std::uint16_t x87ControlWord() {
    std::uint16_t word = 0;
    __asm__ volatile("fnstcw %0" : "=m"(word));
    return word;
}
void setX87ControlWord(std::uint16_t word) {
    __asm__ volatile("fldcw %0" : : "m"(word));
}

// A host's audio thread may run the x87 unit at 53-bit precision (Windows'
// default for a new thread): the analysis's extended-precision sums must not
// notice. Its coefficients are compared as well as the output, since a last-bit
// difference in them reaches the float output only now and then. The caller
// gets its own setting back.
TEST(HostCalls, TheCallersX87PrecisionChangesNothing) {
    for (const float aWarp : {0.0f, 0.8f}) {
        auto reference = makeEffect();
        auto lowered = makeEffect();
        for (auto* e : {reference.get(), lowered.get()}) {
            e->setParameter(kStages, 1.0f);
            e->setParameter(kBlockSize, 0.05f);
            e->setParameter(kAWarp, aWarp);
            e->setParameter(kMix, 1.0f);
        }
        StereoBlock a(30000), b(30000);
        fillNoise(a, 11);
        fillNoise(b, 11);
        render(*reference, a, 512);
        const std::uint16_t normal = x87ControlWord();
        const auto doublePrecision = static_cast<std::uint16_t>((normal & ~0x0300u) | 0x0200u);
        setX87ControlWord(doublePrecision);
        render(*lowered, b, 512);
        const std::uint16_t after = x87ControlWord();
        setX87ControlWord(normal);
        EXPECT_EQ(after, doublePrecision);
        EXPECT_EQ(a.outL, b.outL) << "A Warp " << aWarp;
        EXPECT_EQ(a.outR, b.outR) << "A Warp " << aWarp;
        EXPECT_EQ(std::memcmp(reference->engine.coefficients, lowered->engine.coefficients,
                              sizeof(reference->engine.coefficients)),
                  0)
            << "A Warp " << aWarp;
    }
}
#endif

TEST(HostCalls, ZeroFramesStillDoesThePerCallWork) {
    auto effect = makeEffect();
    effect->setParameter(kLfo1Freq, 0.5f); // 5 Hz
    EXPECT_EQ(effect->engine.lfo1.increment, 0u);
    StereoBlock block(1);
    effect->processReplacing(block.inputs(), block.outputs(), 0);
    EXPECT_NEAR(effect->engine.lfo1.frequency, 40.0, 1e-9); // 5 Hz times the control interval
    const auto phase = effect->engine.lfo1.phase;
    effect->processReplacing(block.inputs(), block.outputs(), 1); // one sample: one tick
    EXPECT_EQ(effect->engine.lfo1.phase, (phase + effect->engine.lfo1.increment) & 0x1FFFFFFFu);
}

TEST(Analysis, SteadyResonanceIsWhitenedAndReimposed) {
    auto effect = makeEffect();
    effect->setParameter(kMix, 1.0f);
    effect->setParameter(kStages, 20.0f / 69.0f);
    effect->setParameter(kAWarp, 0.0f);
    effect->setParameter(kSWarp, 0.0f);
    effect->setParameter(kBufferRate, 0.5f);
    const int frames = 44100;
    const auto signal = resonantNoise(frames, 1500.0, 8);
    StereoBlock block(frames);
    block.inL = signal;
    block.inR = signal;
    render(*effect, block, 512);

    // Whitening: the A section, with the coefficients it has glided to,
    // removes most of the resonance's power.
    WarpedLatticeInverse& a = effect->engine.aSections[0];
    double in = 0.0, out = 0.0;
    for (int i = frames - 8192; i < frames; ++i) {
        const double e = a.process(signal[i]);
        in += static_cast<double>(signal[i]) * signal[i];
        out += e * e;
    }
    EXPECT_LT(out, in / 20.0);

    // Resynthesis: the output keeps the resonance at 1500 Hz well above the floor.
    const int from = frames - 8192;
    const double peak = magnitudeAt(block.outL, from, 8192, 1500.0);
    const double floor = magnitudeAt(block.outL, from, 8192, 6000.0);
    EXPECT_GT(peak, 30.0 * floor);
}

TEST(HostTime, SyncedLfoPhaseFollowsTheSongPosition) {
    // LFO 1 synced to 1/4 at 4.2 Hz: its period rounds up to 2 steps, half a beat.
    auto phaseAt = [](double ppq) {
        auto effect = makeEffect();
        effect->setParameter(kLfo1Sync, 4.0f);
        effect->setParameter(kLfo1Freq, std::sqrt(4.2f / 20.0f));
        FakeHost::time.ppqPos = ppq;
        StereoBlock block(1);
        effect->processReplacing(block.inputs(), block.outputs(), 0);
        return effect->engine.lfo1.phase;
    };
    EXPECT_EQ(phaseAt(0.0), 0u);
    EXPECT_EQ(phaseAt(10.0), 0u);        // whole periods
    EXPECT_EQ(phaseAt(10.25), 1u << 28); // half a period
    EXPECT_EQ(phaseAt(7.125), 1u << 27); // a quarter
    EXPECT_EQ(phaseAt(3.0), phaseAt(3.5));
}

TEST(EngineReset, ResumeSilencesTheFeedbackAndClearsTheAnalysis) {
    auto effect = makeEffect();
    effect->setParameter(kMix, 1.0f);
    effect->setParameter(kFeedback, 0.9f);
    effect->setParameter(kDelay, 0.2f);
    StereoBlock block(20000);
    fillNoise(block, 9);
    render(*effect, block, 512);
    effect->resume();
    for (double c : effect->engine.coefficients) {
        ASSERT_EQ(c, 0.0);
    }
    EXPECT_EQ(effect->engine.envelope.lastOutput, 0.0);
    EXPECT_EQ(effect->engine.collector.position, 0);
    // Silence in, silence out: nothing was left in the delays.
    StereoBlock quiet(20000);
    render(*effect, quiet, 512);
    EXPECT_LT(energy(quiet.outL, 0, 20000) + energy(quiet.outR, 0, 20000), 1e-12);
}

TEST(FeedbackPath, SweptResonantFilterNeverRunsAway) {
    // A resonant low-pass swept every control step by full-depth routes grows
    // without bound although each design is stable; the output must stay
    // finite and the feedback must keep working afterwards.
    auto effect = makeEffect();
    effect->engine.lfo1.fixedSeed = 1u;
    effect->engine.lfo2.fixedSeed = 2u;
    effect->setParameter(kStages, 1.0f);
    effect->setParameter(kBlockSize, std::sqrt(240.0f / 44083.0f));
    effect->setParameter(kLfo1Shape, 0.0f);
    effect->setParameter(kLfo2Shape, 7.0f);
    effect->setParameter(kSmoothing, 0.5f);
    for (int i = kFirstRoute; i <= kLastRoute; ++i) {
        effect->setParameter(i, (i % 2) ? 1.0f : 0.0f);
    }
    effect->setParameter(kLfo1Freq, 0.5f);
    effect->setParameter(kLfo2Freq, 0.3f);
    effect->setParameter(kFeedback, 0.9f);
    effect->setParameter(kDelay, 0.25f);
    effect->setParameter(kSaturation, 0.7f);
    effect->setParameter(kDecimation, 0.3f);
    effect->setParameter(kMix, 1.0f);
    StereoBlock block(44100);
    fillNoise(block, 12, 0.9f);
    double lastSecond = 0.0;
    double peakState = 0.0;
    for (int second = 0; second < 25; ++second) {
        render(*effect, block, 256);
        peakState = std::max(peakState, std::fabs(effect->engine.feedbackFilters[0].y1));
        for (int i = 0; i < block.frames(); ++i) {
            ASSERT_TRUE(std::isfinite(block.outL[i]) && std::isfinite(block.outR[i])) << second << " s";
        }
        lastSecond = energy(block.outL, 0, block.frames());
    }
    for (const Biquad& filter : effect->engine.feedbackFilters) {
        EXPECT_TRUE(std::isfinite(filter.y1) && std::fabs(filter.y1) < 1e8);
    }
    EXPECT_GT(lastSecond, 1.0); // still sounding, not stuck in silence
    EXPECT_LT(peakState, 1e8);
}
