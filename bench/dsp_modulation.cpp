// Cost per call of the modulation sources and the small per-sample processors.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

#include "dsp/block_collector.h"
#include "dsp/dc_blocker.h"
#include "dsp/envelope_follower.h"
#include "dsp/limiter.h"
#include "dsp/sample_hold_decimator.h"
#include "dsp/wavetable_lfo.h"

namespace {

constexpr int kBlock = 4096;

// A decaying, noisy tone: enough variety to exercise both branches of every component.
const std::vector<double>& testSignal() {
    static const std::vector<double> signal = [] {
        std::vector<double> s(kBlock);
        std::uint32_t noise = 12345;
        for (int i = 0; i < kBlock; ++i) {
            noise = noise * 1664525u + 1013904223u;
            const double white = static_cast<double>(noise >> 8) / 16777216.0 - 0.5;
            s[i] = 0.8 * std::sin(0.031 * i) * std::exp(-0.0005 * i) + 0.05 * white;
        }
        return s;
    }();
    return signal;
}

void BM_WavetableLfoTick(benchmark::State& state) {
    WavetableLfo lfo;
    lfo.fixedSeed = 1;
    lfo.setShape(WavetableLfo::kSampleAndHold);
    lfo.setRate(3.7, 0.0, 8.0, 22050, 0.0, 44100.0);
    for (auto _ : state) {
        for (int i = 0; i < kBlock; ++i) {
            benchmark::DoNotOptimize(lfo.tick());
        }
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}
BENCHMARK(BM_WavetableLfoTick);

void BM_WavetableLfoSetShapeRandom(benchmark::State& state) {
    WavetableLfo lfo;
    for (auto _ : state) {
        lfo.setShape(WavetableLfo::kSampleAndHold);
        benchmark::DoNotOptimize(lfo.table[100]);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_WavetableLfoSetShapeRandom);

void BM_EnvelopeFollowerProcess(benchmark::State& state) {
    const std::vector<double>& x = testSignal();
    EnvelopeFollower follower;
    follower.setAttackTime(0.005);
    follower.setReleaseTime(0.09);
    for (auto _ : state) {
        for (int i = 0; i < kBlock; ++i) {
            benchmark::DoNotOptimize(follower.process(x[i]));
        }
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}
BENCHMARK(BM_EnvelopeFollowerProcess);

void BM_LimiterGainForPowerSmoothed(benchmark::State& state) {
    const std::vector<double>& x = testSignal();
    Limiter limiter;
    limiter.configureForFeedback();
    for (auto _ : state) {
        for (int i = 0; i < kBlock; ++i) {
            benchmark::DoNotOptimize(limiter.gainForPowerSmoothed(4.0 * x[i] * x[i]));
        }
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}
BENCHMARK(BM_LimiterGainForPowerSmoothed);

void BM_SampleHoldDecimator(benchmark::State& state) {
    const std::vector<double>& x = testSignal();
    SampleHoldDecimator decimator;
    decimator.setPeriod(64.0 * 0.3);
    for (auto _ : state) {
        for (int i = 0; i < kBlock; ++i) {
            benchmark::DoNotOptimize(decimator.process(x[i]));
        }
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}
BENCHMARK(BM_SampleHoldDecimator);

void BM_DcBlocker(benchmark::State& state) {
    const std::vector<double>& x = testSignal();
    DcBlocker blocker;
    for (auto _ : state) {
        for (int i = 0; i < kBlock; ++i) {
            benchmark::DoNotOptimize(blocker.process(x[i]));
        }
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}
BENCHMARK(BM_DcBlocker);

void BM_BlockCollector(benchmark::State& state) {
    const std::vector<double>& x = testSignal();
    auto collector = std::make_unique<BlockCollector>();
    collector->setLength(1024);
    for (auto _ : state) {
        for (int i = 0; i < kBlock; ++i) {
            benchmark::DoNotOptimize(collector->process(x[i]));
        }
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}
BENCHMARK(BM_BlockCollector);

} // namespace
