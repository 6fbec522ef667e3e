// Cost of the linear-prediction analysis and of the warped lattices that use it.
// Inputs are noise through a sharp two-pole resonance, the kind of block the
// lattices are loaded from; the counters report nanoseconds per sample (or per
// analysis call) directly.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "dsp/lpc_analyser.h"
#include "dsp/stereo_lattice_chain.h"
#include "dsp/warped_lattice.h"

namespace {

constexpr int32_t kBlock = 256;
constexpr int32_t kSignalLength = 8192;
constexpr int32_t kAnalysisOrder = 70;
constexpr double kWarp = 0.6;
constexpr double kResonance = 0.95;
constexpr int kControlInterval = 8;

std::vector<double> resonantNoise(uint64_t seed) {
    uint64_t state = seed;
    const double radius = 0.99;
    const double theta = 2.0 * 3.14159265358979323846 * 0.03;
    const double a1 = 2.0 * radius * std::cos(theta);
    const double a2 = -radius * radius;
    std::vector<double> out(kSignalLength);
    double y1 = 0.0;
    double y2 = 0.0;
    for (double& v : out) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        const double w = static_cast<double>(state >> 11) * 0x1.0p-52 - 1.0;
        const double y = 0.05 * w + a1 * y1 + a2 * y2;
        y2 = y1;
        y1 = y;
        v = y;
    }
    return out;
}

// Coefficients of one block of the signal, as the engine would load them.
std::vector<double> analysedCoefficients(const std::vector<double>& signal, int32_t offset) {
    auto analyser = std::make_unique<LpcAnalyser>();
    std::vector<double> c(kAnalysisOrder);
    analyser->analyse(signal.data() + offset, 1024, c.data(), kAnalysisOrder, kWarp);
    return c;
}

// Time per unit of work (sample, stereo sample or analysis call), shown as
// seconds with an SI prefix ("12.3n" is 12.3 ns).
void setTimePerUnit(benchmark::State& state, const char* name, double units) {
    state.counters[name] =
        benchmark::Counter(units, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

template <class Filter> void BM_Lattice(benchmark::State& state) {
    const int32_t stages = static_cast<int32_t>(state.range(0));
    const std::vector<double> signal = resonantNoise(1);
    const std::vector<double> c = analysedCoefficients(signal, 0);
    Filter filter;
    filter.setSampleRate(11025.0);
    filter.setSmoothingTime(0.02);
    filter.setTargetCoefficientsRotated(c.data(), stages, 0.0f);
    for (int i = 0; i < 200; ++i) {
        filter.updateCoefficients(kWarp, kResonance);
    }
    int32_t position = 0;
    for (auto _ : state) {
        double sum = 0.0;
        for (int32_t i = 0; i < kBlock; ++i) {
            sum += filter.process(signal[static_cast<size_t>(position + i)]);
        }
        benchmark::DoNotOptimize(sum);
        position = (position + kBlock) % kSignalLength;
    }
    const double samples = static_cast<double>(state.iterations()) * kBlock;
    state.SetItemsProcessed(static_cast<int64_t>(samples));
    setTimePerUnit(state, "per_sample", samples);
}

BENCHMARK_TEMPLATE(BM_Lattice, WarpedLatticeInverse)->Arg(10)->Arg(70);
BENCHMARK_TEMPLATE(BM_Lattice, WarpedLatticeSynthesis)->Arg(10)->Arg(70);

// Arguments: block length, then 0 for the plain and 1 for the warped form; order 70.
void BM_Analyse(benchmark::State& state) {
    const int32_t length = static_cast<int32_t>(state.range(0));
    const double warp = state.range(1) != 0 ? kWarp : 0.0;
    const std::vector<double> signal = resonantNoise(2);
    auto analyser = std::make_unique<LpcAnalyser>();
    double out[kAnalysisOrder];
    int32_t position = 0;
    for (auto _ : state) {
        analyser->analyse(signal.data() + position, length, out, kAnalysisOrder, warp);
        benchmark::DoNotOptimize(out);
        benchmark::ClobberMemory();
        position = (position + length) % (kSignalLength - length);
    }
    state.SetItemsProcessed(state.iterations());
    setTimePerUnit(state, "per_call", static_cast<double>(state.iterations()));
}

BENCHMARK(BM_Analyse)
    ->ArgNames({"L", "warped"})
    ->Args({256, 0})
    ->Args({1024, 0})
    ->Args({256, 1})
    ->Args({1024, 1});

// The engine's arrangement: per channel an inverse and a synthesis lattice of
// 70 stages, all four gliding once every 8 samples, new targets every 2048
// samples. One item is one stereo sample.
struct FourLattices {
    static constexpr int32_t kStages = 70;
    std::vector<double> left = resonantNoise(3);
    std::vector<double> right = resonantNoise(4);
    std::vector<double> sets[2] = {analysedCoefficients(left, 0), analysedCoefficients(left, 4096)};
    WarpedLatticeInverse inverse[2];
    WarpedLatticeSynthesis synthesis[2];
    WarpedLatticeFilter* all[4] = {&inverse[0], &synthesis[0], &inverse[1], &synthesis[1]};
    int32_t position = 0;
    int64_t blocks = 0;

    FourLattices() {
        for (WarpedLatticeFilter* filter : all) {
            filter->setSampleRate(11025.0);
            filter->setSmoothingTime(0.02);
            filter->setTargetCoefficientsRotated(sets[0].data(), kStages, 0.0f);
        }
    }
    // A block of kBlock stereo samples: sample(left, right) per sample,
    // glide() before every control interval, newTargets() every 8 blocks.
    template <class NewTargets, class Glide, class Sample>
    void block(NewTargets newTargets, Glide glide, Sample sample) {
        if (blocks % 8 == 0) {
            newTargets(sets[(blocks / 8) % 2]);
        }
        for (int32_t i = 0; i < kBlock; ++i) {
            if (i % kControlInterval == 0) {
                glide();
            }
            const size_t at = static_cast<size_t>(position + i);
            sample(left[at], right[at]);
        }
        position = (position + kBlock) % kSignalLength;
        ++blocks;
    }
    void loadTargets(const std::vector<double>& c) {
        for (WarpedLatticeFilter* filter : all) {
            filter->setTargetCoefficientsRotated(c.data(), kStages, 0.0f);
        }
    }
};

void BM_FourLattices(benchmark::State& state) {
    auto rig = std::make_unique<FourLattices>();
    for (auto _ : state) {
        double sum = 0.0;
        rig->block([&](const std::vector<double>& c) { rig->loadTargets(c); },
                   [&] {
                       for (WarpedLatticeFilter* filter : rig->all) {
                           filter->updateCoefficients(kWarp, kResonance);
                       }
                   },
                   [&](double x1, double x2) {
                       sum += rig->synthesis[0].process(rig->inverse[0].process(x1));
                       sum += rig->synthesis[1].process(rig->inverse[1].process(x2));
                   });
        benchmark::DoNotOptimize(sum);
    }
    const double samples = static_cast<double>(state.iterations()) * kBlock;
    state.SetItemsProcessed(static_cast<int64_t>(samples));
    setTimePerUnit(state, "per_stereo_sample", samples);
}

BENCHMARK(BM_FourLattices);

// The same four lattices through the engine's pipelined stereo chain, settled
// at the end of every block as the engine does at the end of a host call.
void BM_StereoChain(benchmark::State& state) {
    auto rig = std::make_unique<FourLattices>();
    StereoLatticeChain chain(rig->inverse[0], rig->inverse[1], rig->synthesis[0], rig->synthesis[1]);
    for (auto _ : state) {
        double sum = 0.0;
        rig->block(
            [&](const std::vector<double>& c) {
                chain.applySynthesisUpdate();
                rig->loadTargets(c);
            },
            [&] {
                rig->inverse[0].updateCoefficients(kWarp, kResonance);
                rig->inverse[1].updateCoefficients(kWarp, kResonance);
                chain.updateSynthesisCoefficients(kWarp, kResonance, kWarp, kResonance);
            },
            [&](double x1, double x2) {
                chain.inverse(x1, x2);
                chain.synthesis(x1, x2);
                sum += x1 + x2;
            });
        chain.settle();
        benchmark::DoNotOptimize(sum);
    }
    const double samples = static_cast<double>(state.iterations()) * kBlock;
    state.SetItemsProcessed(static_cast<int64_t>(samples));
    setTimePerUnit(state, "per_stereo_sample", samples);
}

BENCHMARK(BM_StereoChain);

} // namespace
