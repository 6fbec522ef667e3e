// How long host automation takes on the audio thread while the UI thread
// redesigns the same feedback filters, with the UI thread sharing a core with
// a busy thread (so it is pre-empted, at times in the middle of a design).
// Each iteration is one "Cutoff" change from the audio thread; every 64 of
// them a 64-sample block is processed. Reported: the worst single call and how
// many calls took longer than half a millisecond. With argument 0 the UI
// thread designs nothing: what remains then is the machine's own scheduling
// noise on the audio thread. Needs two cores.

#include <pthread.h>
#include <sched.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include <benchmark/benchmark.h>

#include "host/plugin_effect.h"

namespace {

vst2::intptr latencyHost(vst2::AEffect*, vst2::int32 opcode, vst2::int32, vst2::intptr, void*, float) {
    return opcode == vst2::audioMasterVersion ? 2400 : 0;
}

void pinToCore(int core) {
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(core, &set);
    pthread_setaffinity_np(pthread_self(), sizeof(set), &set);
}

void AutomationWhileTheUiThreadDesigns(benchmark::State& state) {
    if (std::thread::hardware_concurrency() < 2) {
        state.SkipWithError("needs two cores");
        return;
    }
    auto effect = std::make_unique<PluginEffect>(&latencyHost);
    effect->resume();
    std::atomic<bool> stop{false};
    // The UI thread and a busy neighbour on core 0; the audio thread (this one) on core 1.
    std::thread ui([&] {
        pinToCore(0);
        std::minstd_rand random(7);
        std::uniform_real_distribution<float> value(0.0f, 1.0f);
        while (!stop.load(std::memory_order_relaxed)) {
            if (state.range(0) == 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                continue;
            }
            effect->setParameter(param::kResonance, value(random));
            effect->setParameter(param::kFilterType, 0.1f * static_cast<float>(random() % 8));
        }
    });
    std::thread busy([&] {
        pinToCore(0);
        volatile unsigned spin = 0;
        while (!stop.load(std::memory_order_relaxed)) {
            spin = spin + 1;
        }
    });
    pinToCore(1);

    std::vector<float> in(64, 0.1f), outL(64), outR(64);
    float* inputs[2] = {in.data(), in.data()};
    float* outputs[2] = {outL.data(), outR.data()};
    std::minstd_rand random(11);
    std::uniform_real_distribution<float> value(0.0f, 1.0f);
    double worst = 0.0;
    long slow = 0;
    long calls = 0;
    for (auto _ : state) {
        const float cutoff = value(random);
        const auto start = std::chrono::steady_clock::now();
        effect->setParameter(param::kCutoff, cutoff);
        const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        worst = took > worst ? took : worst;
        slow += took > 0.5e-3 ? 1 : 0;
        if (++calls % 64 == 0) {
            effect->processReplacing(inputs, outputs, 64);
        }
    }
    stop.store(true);
    ui.join();
    busy.join();
    state.counters["worst_us"] = worst * 1e6;
    state.counters["over_500us"] = static_cast<double>(slow);
}

} // namespace

BENCHMARK(AutomationWhileTheUiThreadDesigns)->Arg(0)->Arg(1)->UseRealTime()->MinTime(2.0);
