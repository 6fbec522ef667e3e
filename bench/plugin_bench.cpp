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

void runEffect(benchmark::State& state, bool worstCase, bool silenceAfterLoud) {
    const int block = static_cast<int>(state.range(0));
    auto effect = makeBenchEffect(worstCase);
    std::vector<float> inL(block), inR(block), outL(block), outR(block);
    std::mt19937 rng(1);
    std::uniform_real_distribution<float> u(-0.9f, 0.9f);
    auto fill = [&](bool loud) {
        for (int i = 0; i < block; ++i) {
            inL[i] = loud ? u(rng) : 0.0f;
            inR[i] = loud ? u(rng) : 0.0f;
        }
    };
    float* in[2] = {inL.data(), inR.data()};
    float* out[2] = {outL.data(), outR.data()};
    fill(true);
    // Warm up with signal so the lattices, delays and filters are busy.
    for (int n = 0; n < 44100; n += block) {
        effect->processReplacing(in, out, block);
    }
    if (silenceAfterLoud) {
        fill(false);
    }
    for (auto _ : state) {
        effect->processReplacing(in, out, block);
        benchmark::DoNotOptimize(outL.data());
        benchmark::DoNotOptimize(outR.data());
    }
    state.SetItemsProcessed(state.iterations() * block);
    state.counters["realtime"] = benchmark::Counter(static_cast<double>(state.iterations()) * block / 44100.0,
                                                    benchmark::Counter::kIsRate);
}

void FactoryProgram(benchmark::State& state) {
    runEffect(state, false, false);
}
void WorstCase(benchmark::State& state) {
    runEffect(state, true, false);
}
void WorstCaseSilenceAfterLoud(benchmark::State& state) {
    runEffect(state, true, true);
}
void FactorySilenceAfterLoud(benchmark::State& state) {
    runEffect(state, false, true);
}

} // namespace

BENCHMARK(FactoryProgram)->Arg(32)->Arg(1024);
BENCHMARK(FactorySilenceAfterLoud)->Arg(1024);
BENCHMARK(WorstCase)->Arg(32)->Arg(256)->Arg(1024);
BENCHMARK(WorstCaseSilenceAfterLoud)->Arg(256);
