#include "dsp/biquad.h"
#include "dsp/crossfade_delay.h"
#include "dsp/cubic_delay.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

namespace {

constexpr int kBlock = 4096;

// A few periods of a non-trivial signal, looped over so the input costs
// nothing to produce inside the timed loop.
std::vector<double> makeInput() {
    std::vector<double> input(kBlock);
    for (int n = 0; n < kBlock; ++n) {
        input[n] = 0.6 * std::sin(0.031 * n) + 0.3 * std::sin(0.47 * n + 1.0);
    }
    return input;
}

void BM_CrossfadeDelay(benchmark::State& state) {
    auto delay = std::make_unique<CrossfadeDelay>();
    delay->setWindow(2000.0f);
    delay->rate = 1.3f;
    const std::vector<double> input = makeInput();
    for (auto _ : state) {
        for (double x : input) {
            benchmark::DoNotOptimize(delay->process(x));
        }
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}
BENCHMARK(BM_CrossfadeDelay);

void BM_CubicDelay(benchmark::State& state) {
    auto delay = std::make_unique<CubicDelay>();
    delay->setDelaySeconds(0.2371f);
    const std::vector<double> input = makeInput();
    for (auto _ : state) {
        for (double x : input) {
            benchmark::DoNotOptimize(delay->process(x));
        }
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}
BENCHMARK(BM_CubicDelay);

void BM_BiquadProcess(benchmark::State& state) {
    Biquad filter;
    FilterDesign d;
    d.frequency = 1200.0f;
    d.q = 0.9f;
    filter.design(0, d);
    const std::vector<double> input = makeInput();
    for (auto _ : state) {
        for (double x : input) {
            benchmark::DoNotOptimize(filter.process(x));
        }
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}
BENCHMARK(BM_BiquadProcess);

// One redesign per call, cycling through all nine types and moving the
// frequency as the control step does.
void BM_BiquadDesign(benchmark::State& state) {
    Biquad filter;
    FilterDesign d;
    d.q = 0.9f;
    d.gain = 1.5f;
    d.delayParameter = 2.5f;
    int32_t type = 0;
    float frequency = 200.0f;
    for (auto _ : state) {
        d.frequency = frequency;
        benchmark::DoNotOptimize(filter.design(type, d));
        benchmark::ClobberMemory();
        type = type == 8 ? 0 : type + 1;
        frequency = frequency > 15000.0f ? 200.0f : frequency * 1.01f;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BiquadDesign);

} // namespace
