#include "dsp/wavetable_lfo.h"

#include <cmath>
#include <ctime>
#include <gtest/gtest.h>
#include <numbers>

namespace {

constexpr int N = WavetableLfo::kTableSize;
constexpr double kFs = 44100.0;
constexpr double kPi = std::numbers::pi;
constexpr std::uint32_t kOneEntry = 1u << WavetableLfo::kFractionBits;

WavetableLfo makeLfo(std::int32_t shape, std::uint32_t seed = 1234) {
    WavetableLfo lfo;
    lfo.fixedSeed = seed;
    lfo.setShape(shape);
    return lfo;
}

double tableMean(const WavetableLfo& lfo) {
    double sum = 0.0;
    for (int i = 0; i < N; ++i) {
        sum += lfo.table[i];
    }
    return sum / N;
}

double tableMax(const WavetableLfo& lfo) {
    double m = lfo.table[0];
    for (int i = 1; i < N; ++i) {
        m = std::max(m, lfo.table[i]);
    }
    return m;
}

// Frequency of the sine shape in cycles per tick rate, from the ticks between the first
// and the last upward zero crossing (located by linear interpolation).
double measureFrequency(WavetableLfo& lfo, int ticks, double tickRate) {
    double first = -1.0;
    double last = -1.0;
    int crossings = 0;
    double previous = lfo.tick();
    for (int i = 1; i < ticks; ++i) {
        const double y = lfo.tick();
        if (previous < 0.0 && y >= 0.0) {
            const double at = i - 1 + (-previous) / (y - previous);
            if (crossings == 0) {
                first = at;
            }
            last = at;
            ++crossings;
        }
        previous = y;
    }
    return crossings < 2 ? 0.0 : tickRate * (crossings - 1) / (last - first);
}

// Distance between two phases around the cycle.
double phaseDistance(std::uint32_t a, std::uint32_t b) {
    const std::uint32_t d = (a - b) & WavetableLfo::kPhaseMask;
    return std::min<double>(d, (WavetableLfo::kPhaseMask + 1.0) - d);
}

} // namespace

TEST(WavetableLfo, FreshObjectState) {
    WavetableLfo lfo;
    EXPECT_EQ(lfo.shape, 0);
    EXPECT_EQ(lfo.increment, 12173u);
    EXPECT_EQ(lfo.phase, 0u);
    EXPECT_EQ(lfo.frequency, 1.0);
    EXPECT_TRUE(lfo.interpolate);
    EXPECT_EQ(lfo.fractionScale * lfo.phaseScale, 1.0);
}

TEST(WavetableLfo, SinusTable) {
    const WavetableLfo lfo = makeLfo(WavetableLfo::kSinus);
    EXPECT_EQ(lfo.table[0], 0.0);
    EXPECT_EQ(lfo.table[128], 1.0);
    EXPECT_NEAR(lfo.table[256], 0.0, 1e-15);
    EXPECT_NEAR(lfo.table[384], -1.0, 1e-15);
    EXPECT_NEAR(lfo.table[64], std::sqrt(0.5), 1e-15);
    EXPECT_EQ(lfo.table[N], lfo.table[0]);
}

TEST(WavetableLfo, TriangleShapePoints) {
    const WavetableLfo lfo = makeLfo(WavetableLfo::kTriangle);
    EXPECT_EQ(lfo.table[0], 0.0);
    EXPECT_EQ(lfo.table[64], 0.5);
    EXPECT_EQ(lfo.table[128], 1.0);
    EXPECT_EQ(lfo.table[256], 0.0);
    EXPECT_EQ(lfo.table[384], -1.0);
    EXPECT_EQ(lfo.table[N], 0.0);
    // Constant slope of one unit per 128 entries everywhere, also across the guard.
    for (int i = 0; i < N; ++i) {
        EXPECT_EQ(std::fabs(lfo.table[i + 1] - lfo.table[i]), 1.0 / 128.0) << i;
    }
}

TEST(WavetableLfo, SawShapes) {
    const WavetableLfo up = makeLfo(WavetableLfo::kSawUp);
    const WavetableLfo down = makeLfo(WavetableLfo::kSawDown);
    EXPECT_NEAR(up.table[0], -0.499, 1e-3);
    EXPECT_EQ(up.table[383], 1.0);
    EXPECT_EQ(up.table[384], -1.0);
    for (int i = 0; i < N; ++i) {
        if (i != 383) {
            EXPECT_NEAR(up.table[i + 1] - up.table[i], 1.0 / 255.5, 1e-12) << i;
        }
        EXPECT_EQ(down.table[i], -up.table[i]);
    }
    EXPECT_EQ(up.table[N], up.table[0]);
    EXPECT_EQ(down.table[N], down.table[0]);
}

TEST(WavetableLfo, SquareAndExponent) {
    const WavetableLfo square = makeLfo(WavetableLfo::kSquare);
    EXPECT_EQ(square.table[0], -1.0);
    EXPECT_EQ(square.table[255], -1.0);
    EXPECT_EQ(square.table[256], 1.0);
    EXPECT_EQ(square.table[511], 1.0);
    EXPECT_EQ(square.table[N], -1.0);

    const WavetableLfo triangle = makeLfo(WavetableLfo::kTriangle);
    const WavetableLfo exponent = makeLfo(WavetableLfo::kExponent);
    for (int i = 0; i <= N; ++i) {
        EXPECT_DOUBLE_EQ(exponent.table[i], std::pow(triangle.table[i], 3.0)) << i;
    }
    EXPECT_EQ(exponent.table[64], 0.125);
}

TEST(WavetableLfo, HoldThresholdIs482) {
    EXPECT_EQ(WavetableLfo::holdThreshold(), 482);
}

TEST(WavetableLfo, InterpolatesAcrossTheGuardAndWraps) {
    WavetableLfo lfo = makeLfo(WavetableLfo::kSawUp);
    lfo.increment = kOneEntry;
    lfo.phase = 511u * kOneEntry + kOneEntry / 2; // halfway between entry 511 and the guard
    EXPECT_DOUBLE_EQ(lfo.tick(), 0.5 * (lfo.table[511] + lfo.table[0]));
    EXPECT_EQ(lfo.phase, kOneEntry / 2); // wrapped into the next cycle
    EXPECT_DOUBLE_EQ(lfo.tick(), 0.5 * (lfo.table[0] + lfo.table[1]));

    // Just below a full cycle the sine reads continuously into the next one.
    WavetableLfo sine = makeLfo(WavetableLfo::kSinus);
    sine.increment = 1000;
    sine.phase = WavetableLfo::kPhaseMask - 2500;
    double previous = sine.tick();
    for (int i = 0; i < 6; ++i) {
        const double y = sine.tick();
        EXPECT_LT(std::fabs(y - previous), 2.0 * kPi * 1000.0 / (1u << 29) * 1.01);
        previous = y;
    }
    EXPECT_LT(sine.phase, 5000u);
}

TEST(WavetableLfo, SquareRampsOverOneStepAndNearestReadDoesNot) {
    WavetableLfo lfo = makeLfo(WavetableLfo::kSquare);
    lfo.increment = 0;
    lfo.phase = 255u * kOneEntry + kOneEntry / 4;
    EXPECT_DOUBLE_EQ(lfo.tick(), -0.5);
    lfo.phase = 511u * kOneEntry + kOneEntry / 4;
    EXPECT_DOUBLE_EQ(lfo.tick(), 0.5);
    lfo.interpolate = false;
    EXPECT_EQ(lfo.tick(), 1.0);
    lfo.phase = 255u * kOneEntry + kOneEntry - 1;
    EXPECT_EQ(lfo.tick(), -1.0);
}

TEST(WavetableLfo, ProcessReadsAtARadianPhase) {
    WavetableLfo lfo = makeLfo(WavetableLfo::kSinus);
    lfo.increment = 777;
    const double top = lfo.process(kPi / 2.0);
    EXPECT_NEAR(top, 1.0, 1e-9);
    EXPECT_EQ(lfo.lastOutput, top);
    EXPECT_NEAR(lfo.phase, (1u << 27) + 777u, 1.0);
    EXPECT_NEAR(lfo.process(1.0), std::sin(1.0), 1e-4);
    // Outside 0..2pi the phase folds into the cycle.
    EXPECT_NEAR(lfo.process(-kPi / 2.0), -1.0, 1e-4);
    EXPECT_NEAR(lfo.process(2.5 * kPi), 1.0, 1e-4);
    EXPECT_LE(lfo.phase, WavetableLfo::kPhaseMask);
}

TEST(WavetableLfo, FreeRateMeasuredByCountingCycles) {
    WavetableLfo lfo = makeLfo(WavetableLfo::kSinus);
    lfo.setRate(2.0, 0.0, 1.0, 22050, 0.0, kFs);
    EXPECT_EQ(lfo.frequency, 2.0);
    // Ten seconds of ticks at one tick per sample.
    EXPECT_NEAR(measureFrequency(lfo, 441000, kFs), 2.0, 2e-4);

    // The engine ticks once per 8 samples and passes x = 8: 0.5 Hz makes 4 cycles per
    // 44100 ticks, which is 0.5 Hz of real time at 5512.5 ticks per second.
    lfo.reset();
    lfo.setRate(0.5, 0.5, 8.0, 22050, 0.0, kFs); // b below 1 runs free
    EXPECT_NEAR(measureFrequency(lfo, 44100 * 5, kFs / 8.0), 0.5, 1e-4);
}

TEST(WavetableLfo, ZeroRateStopsAndNegativeRateRunsBackwards) {
    WavetableLfo lfo = makeLfo(WavetableLfo::kSinus);
    lfo.phase = 12345;
    lfo.setRate(0.0, 4.0, 8.0, 22050, 3.0, kFs);
    EXPECT_EQ(lfo.increment, 0u);
    lfo.tick();
    lfo.tick();
    EXPECT_EQ(lfo.phase, 12345u);

    lfo.phase = 0;
    lfo.setRate(-1.0, 0.0, 1.0, 22050, 0.0, kFs);
    lfo.tick();
    EXPECT_EQ(lfo.phase, (1u << 29) - 12173u);
    EXPECT_LT(lfo.tick(), 0.0);
}

TEST(WavetableLfo, SampleAndHoldRateIsATenth) {
    WavetableLfo lfo = makeLfo(WavetableLfo::kSinus);
    lfo.setRate(1.0, 0.0, 1.0, 22050, 0.0, kFs);
    lfo.setShape(WavetableLfo::kSampleAndHold);
    EXPECT_EQ(lfo.increment, 12173u); // a shape change alone does not touch the rate
    lfo.setRate(1.0, 0.0, 1.0, 22050, 0.0, kFs);
    EXPECT_DOUBLE_EQ(lfo.frequency, 0.1);
    EXPECT_EQ(lfo.increment, 1217u); // trunc(0.1 / 44100 * 2^29)
}

TEST(WavetableLfo, SyncedRateRoundsUpToWholeGridSteps) {
    // 120 BPM at 44100 Hz: 22050 samples per beat; b = 4 gives sixteenth-note steps of
    // 5512.5 samples. The free period of 1.5 Hz is 29400 samples, 5.33 steps, rounded up
    // to 6 steps = 33075 samples: 44100 / 33075 = 4/3 Hz.
    WavetableLfo lfo = makeLfo(WavetableLfo::kSinus);
    lfo.setRate(1.5, 4.0, 1.0, 22050, 0.0, kFs);
    EXPECT_DOUBLE_EQ(lfo.frequency, 4.0 / 3.0);
    EXPECT_EQ(lfo.increment, 16231u); // trunc(2^29 / 33075)
    lfo.setRate(1.5, 4.0, 8.0, 22050, 0.0, kFs);
    EXPECT_DOUBLE_EQ(lfo.frequency, 32.0 / 3.0);

    // The grid value 3 with an odd beat length gives a period of 4/3 * 22051 samples,
    // which the rounding to single precision makes 29401.333984375.
    lfo.setRate(1.5, 3.0, 1.0, 22051, 0.0, kFs);
    EXPECT_EQ(lfo.frequency, kFs / 29401.333984375);
}

TEST(WavetableLfo, SyncedPhaseLocksToSongPosition) {
    WavetableLfo lfo = makeLfo(WavetableLfo::kSinus);
    // Period 33075 samples (as above). At beat 3.25 the song is 71662.5 samples in,
    // 5512.5 samples into its third period: one sixth of a cycle.
    lfo.setRate(1.5, 4.0, 1.0, 22050, 3.25, kFs);
    EXPECT_EQ(lfo.phase, 89478485u); // trunc(2^29 / 6)
    EXPECT_NEAR(lfo.tick(), std::sin(kPi / 3.0), 1e-4);

    // Running one tick per sample from beat 0.5 for 2 beats lands where locking at beat 2.5
    // puts it (within the truncation of the increment, under one unit per tick).
    WavetableLfo running = makeLfo(WavetableLfo::kSinus);
    running.setRate(1.5, 4.0, 1.0, 22050, 0.5, kFs);
    for (int i = 0; i < 44100; ++i) {
        running.tick();
    }
    lfo.setRate(1.5, 4.0, 1.0, 22050, 2.5, kFs);
    EXPECT_LT(phaseDistance(running.phase, lfo.phase), 44100.0);
    EXPECT_GT(phaseDistance(running.phase, 0), 1e8);

    // A song position before bar one lands on the same point of the cycle as a position
    // a whole period later: -0.25 beats and 1.25 beats are both 5/6 of a cycle in.
    lfo.setRate(1.5, 4.0, 1.0, 22050, -0.25, kFs);
    const std::uint32_t early = lfo.phase;
    lfo.setRate(1.5, 4.0, 1.0, 22050, 1.25, kFs);
    EXPECT_NEAR(static_cast<double>(early), static_cast<double>(lfo.phase), 1.0);
    EXPECT_NEAR(static_cast<double>(early), 5.0 / 6.0 * (1u << 29), 1.0);
    lfo.setRate(1.5, 4.0, 1.0, 22050, -1e9, kFs);
    EXPECT_LE(lfo.phase, WavetableLfo::kPhaseMask);
}

TEST(WavetableLfo, UnusableTempoKeepsTheRunningRate) {
    WavetableLfo lfo = makeLfo(WavetableLfo::kSinus);
    lfo.setRate(2.0, 0.0, 1.0, 22050, 0.0, kFs);
    lfo.phase = 4242;
    const std::uint32_t increment = lfo.increment;
    for (std::int32_t spb : {0, -22050}) {
        lfo.setRate(1.5, 4.0, 1.0, spb, 1.0, kFs);
        EXPECT_EQ(lfo.increment, increment);
        EXPECT_EQ(lfo.frequency, 2.0);
        EXPECT_EQ(lfo.phase, 4242u);
    }
    lfo.setRate(1.5, 4.0, 1.0, 22050, std::nan(""), kFs);
    EXPECT_EQ(lfo.phase, 4242u);
    lfo.sampleRate = 0.0;
    lfo.setRate(3.0, 0.0, 1.0, 22050, 0.0, kFs);
    EXPECT_EQ(lfo.increment, increment);
}

TEST(WavetableLfo, ShapesOutsideRangeKeepTheTableButReseed) {
    WavetableLfo lfo = makeLfo(WavetableLfo::kTriangle, 99);
    const WavetableLfo triangle = makeLfo(WavetableLfo::kTriangle);
    lfo.table[0] = 0.75; // only the guard point follows entry 0
    for (std::int32_t bad : {8, -1, 1000}) {
        lfo.random.next();
        lfo.setShape(bad);
        EXPECT_EQ(lfo.shape, bad);
        for (int i = 1; i < N; ++i) {
            ASSERT_EQ(lfo.table[i], triangle.table[i]);
        }
        EXPECT_EQ(lfo.table[N], 0.75);
        WavetableLfo::RandomSource fresh;
        fresh.seed(99);
        EXPECT_EQ(lfo.random.next(), fresh.next());
    }
}

TEST(WavetableLfo, RandomShapesAreNormalised) {
    int steps = 0;
    for (std::uint32_t seed = 1; seed <= 40; ++seed) {
        for (std::int32_t shape : {WavetableLfo::kSampleAndHold, WavetableLfo::kRandom}) {
            const WavetableLfo lfo = makeLfo(shape, seed);
            EXPECT_EQ(tableMax(lfo), 1.0) << seed;
            EXPECT_NEAR(tableMean(lfo), 0.0, 1e-12) << seed;
            EXPECT_EQ(lfo.table[N], lfo.table[0]);
            if (shape == WavetableLfo::kSampleAndHold) {
                for (int i = 1; i < N; ++i) {
                    steps += lfo.table[i] != lfo.table[i - 1];
                }
            }
        }
    }
    // 29 of 512 draws start a new step: about 29 steps per table.
    EXPECT_NEAR(steps / 40.0, 29.0 * 511.0 / 512.0, 4.0);

    // A random table has (almost) no repeated neighbours and spans both signs.
    const WavetableLfo random = makeLfo(WavetableLfo::kRandom, 7);
    int repeats = 0;
    double lowest = 0.0;
    for (int i = 1; i < N; ++i) {
        repeats += random.table[i] == random.table[i - 1];
        lowest = std::min(lowest, random.table[i]);
    }
    EXPECT_LT(repeats, 5);
    EXPECT_LT(lowest, -0.8);
}

TEST(WavetableLfo, SeedDeterminesTheRandomTables) {
    for (std::int32_t shape : {WavetableLfo::kSampleAndHold, WavetableLfo::kRandom}) {
        const WavetableLfo a = makeLfo(shape, 42);
        const WavetableLfo b = makeLfo(shape, 42);
        const WavetableLfo c = makeLfo(shape, 43);
        int differing = 0;
        for (int i = 0; i <= N; ++i) {
            ASSERT_EQ(a.table[i], b.table[i]);
            differing += a.table[i] != c.table[i];
        }
        EXPECT_GT(differing, 0);
    }
}

TEST(WavetableLfo, ClockSeedsWithoutAFixedSeed) {
    // Retry in the unlikely case the clock ticks over a second in between.
    for (int attempt = 0; attempt < 3; ++attempt) {
        WavetableLfo clock;
        const std::time_t before = std::time(nullptr);
        clock.setShape(WavetableLfo::kRandom);
        const std::time_t after = std::time(nullptr);
        if (before != after) {
            continue;
        }
        const WavetableLfo seeded = makeLfo(WavetableLfo::kRandom, static_cast<std::uint32_t>(before));
        for (int i = 0; i <= N; ++i) {
            ASSERT_EQ(clock.table[i], seeded.table[i]);
        }
        return;
    }
    FAIL() << "clock kept changing";
}

TEST(WavetableLfo, ResetRewindsAndKeepsTheShape) {
    WavetableLfo lfo = makeLfo(WavetableLfo::kTriangle);
    for (int i = 0; i < 100; ++i) {
        lfo.tick();
    }
    lfo.reset();
    EXPECT_EQ(lfo.phase, 0u);
    EXPECT_EQ(lfo.lastOutput, 0.0);
    EXPECT_EQ(lfo.table[128], 1.0);
    EXPECT_EQ(lfo.increment, 12173u);
}
