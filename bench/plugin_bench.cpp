// Whole-effect cost through the host's processing call, at 44.1 kHz stereo.
// Reported per stereo sample; the real-time factor is 1 / (44100 * seconds per sample).

#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include <benchmark/benchmark.h>

#include "host/plugin_effect.h"

namespace {

vst2::VstTimeInfo benchTime{};

vst2::intptr benchHost(vst2::AEffect*, vst2::int32 opcode, vst2::int32, vst2::intptr, void*, float) {
    if (opcode == vst2::audioMasterVersion) {
        return 2400;
    }
    if (opcode == vst2::audioMasterGetTime) {
        return reinterpret_cast<vst2::intptr>(&benchTime);
    }
    return 0;
}

std::unique_ptr<PluginEffect> makeBenchEffect(bool worstCase) {
    benchTime.tempo = 120.0;
    benchTime.sampleRate = 44100.0;
    benchTime.flags = vst2::kVstTempoValid | vst2::kVstPpqPosValid;
    auto effect = std::make_unique<PluginEffect>(&benchHost);
    // The random LFO shape draws its table from a fixed seed, so runs compare.
    effect->engine.lfo1.fixedSeed = 1u;
    effect->engine.lfo2.fixedSeed = 2u;
    effect->setSampleRate(44100.0f);
    effect->resume();
    if (worstCase) {
        using namespace param;
        effect->setParameter(kStages, 1.0f);                            // 70 stages
        effect->setParameter(kBlockSize, std::sqrt(240.0f / 44083.0f)); // 256-sample analysis blocks
        for (int i = kFirstRoute; i <= kLastRoute; ++i) {
            effect->setParameter(i, (i % 2) ? 1.0f : 0.0f);
        }
        effect->setParameter(kLfo1Shape, 0.0f);
        effect->setParameter(kLfo2Shape, 7.0f);
        effect->setParameter(kLfo1Freq, 0.5f);
        effect->setParameter(kLfo2Freq, 0.3f);
        effect->setParameter(kFeedback, 0.9f);
        effect->setParameter(kDelay, 0.25f);
        effect->setParameter(kSaturation, 0.7f);
        effect->setParameter(kDecimation, 0.3f);
        effect->setParameter(kSmoothing, 0.5f);
        effect->setParameter(kMix, 1.0f);
    }
    return effect;
}

// A second of noise, read in turn, so the input does not repeat with the host block.
constexpr int kNoiseLength = 44100;

struct Input {
    std::vector<float> left, right;
    int position = 0;
    Input() : left(kNoiseLength), right(kNoiseLength) {
        std::mt19937 rng(1);
        std::uniform_real_distribution<float> u(-0.9f, 0.9f);
        for (int i = 0; i < kNoiseLength; ++i) {
            left[i] = u(rng);
            right[i] = u(rng);
        }
    }
    // The next `block` samples, wrapped around the table (block <= kNoiseLength / 2).
    void next(int block, float** in) {
        if (position + block > kNoiseLength) {
            position = 0;
        }
        in[0] = left.data() + position;
        in[1] = right.data() + position;
        position += block;
    }
};

enum class Setting { Factory, WorstCase };

std::unique_ptr<PluginEffect> makeWarmEffect(Setting setting, bool referencePath, int block, Input& input) {
    auto effect = makeBenchEffect(setting == Setting::WorstCase);
    effect->engine.pairedLattices = !referencePath;
    std::vector<float> outL(block), outR(block);
    float* out[2] = {outL.data(), outR.data()};
    float* in[2] = {};
    // Warm up with signal so the lattices, delays and filters are busy.
    for (int n = 0; n < 44100; n += block) {
        input.next(block, in);
        effect->processReplacing(in, out, block);
    }
    return effect;
}

// Reports, besides the time per host block: items_per_second (stereo samples),
// time_per_sample (CPU time per stereo sample, "570ns") and realtime (seconds of 44.1 kHz
// audio per second of CPU: the real-time factor on one core).
//
// The worst-case setting drives the feedback filter (Q 10, its cutoff swept
// between 80 Hz and several kHz by the routes at control rate) into growth:
// after ten to twenty seconds of noise the chain holds non-finite values,
// which skip the analysis and would flatter the figure. The effect is then
// rebuilt and warmed up outside the timing ("restarts" counts how often).
void runEffect(benchmark::State& state, Setting setting, bool silenceAfterLoud, bool referencePath = false) {
    const int block = static_cast<int>(state.range(0));
    Input input;
    auto effect = makeWarmEffect(setting, referencePath, block, input);
    const std::vector<float> silence(block, 0.0f);
    std::vector<float> outL(block), outR(block);
    float* out[2] = {outL.data(), outR.data()};
    float* in[2] = {};
    int restarts = 0;
    for (auto _ : state) {
        if (silenceAfterLoud) {
            in[0] = in[1] = const_cast<float*>(silence.data());
        } else {
            input.next(block, in);
        }
        effect->processReplacing(in, out, block);
        benchmark::DoNotOptimize(outL.data());
        benchmark::DoNotOptimize(outR.data());
        if (!std::isfinite(outL[block - 1]) || !std::isfinite(outR[block - 1])) {
            state.PauseTiming();
            effect = makeWarmEffect(setting, referencePath, block, input);
            ++restarts;
            state.ResumeTiming();
        }
    }
    const double samples = static_cast<double>(state.iterations()) * block;
    state.SetItemsProcessed(static_cast<int64_t>(samples));
    state.counters["time_per_sample"] =
        benchmark::Counter(samples, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["realtime"] = benchmark::Counter(samples / 44100.0, benchmark::Counter::kIsRate);
    state.counters["restarts"] = restarts;
}

void FactoryProgram(benchmark::State& state) {
    runEffect(state, Setting::Factory, false);
}
void WorstCase(benchmark::State& state) {
    runEffect(state, Setting::WorstCase, false);
}
void WorstCaseSilenceAfterLoud(benchmark::State& state) {
    runEffect(state, Setting::WorstCase, true);
}
void FactorySilenceAfterLoud(benchmark::State& state) {
    runEffect(state, Setting::Factory, true);
}
// The engine's plain per-component path, which the paired lattices must equal.
void FactoryReferencePath(benchmark::State& state) {
    runEffect(state, Setting::Factory, false, true);
}
void WorstCaseReferencePath(benchmark::State& state) {
    runEffect(state, Setting::WorstCase, false, true);
}

} // namespace

BENCHMARK(FactoryProgram)->Arg(32)->Arg(1024);
BENCHMARK(FactorySilenceAfterLoud)->Arg(1024);
BENCHMARK(WorstCase)->Arg(32)->Arg(256)->Arg(1024);
BENCHMARK(WorstCaseSilenceAfterLoud)->Arg(256);
BENCHMARK(FactoryReferencePath)->Arg(1024);
BENCHMARK(WorstCaseReferencePath)->Arg(256);
