// Two host threads at once, as hosts run plug-ins: the audio thread processes
// block after block while the user-interface thread sets parameters, changes
// programs, loads chunks and names programs. Whatever the interleaving, every
// output sample must stay finite and within the battery's bound.
//
// Built with -DVORNHALT_TSAN=ON the module and this test run under
// ThreadSanitizer, which reports every access the threads make to the same
// memory without synchronisation. The effect writes single floats and doubles
// without locks on purpose; those reports are expected and listed, each with
// its reason, in tsan.supp. Anything else fails the test.

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "battery_support.h"
#include "host/plugin_host.h"

namespace {

using namespace battery;
using Bytes = std::vector<std::uint8_t>;

// Long enough for many thousand interleavings, short enough under ThreadSanitizer.
constexpr int kUiOperations = 20000;
constexpr int kMinimumBlocks = 3000;
constexpr int kBlock = 256;

struct AudioResult {
    std::atomic<long long> blocks{0};
    std::atomic<long long> badSamples{0};
    std::mutex mutex;
    std::string firstFailure;
};

// [audio thread] Processes until told to stop: noise, DC and squares at full
// scale, blocks of 1 to kBlock frames, replacing and accumulating calls.
void audioLoop(vst2::AEffect* effect, const std::atomic<bool>& stop, AudioResult& result) {
    Random random(kSeed ^ 0xa0d10u);
    SignalSource signal;
    signal.choose(random);
    std::vector<float> inL(kBlock), inR(kBlock), outL(kBlock), outR(kBlock);
    float* inputs[2] = {inL.data(), inR.data()};
    float* outputs[2] = {outL.data(), outR.data()};
    while (!stop.load(std::memory_order_acquire)) {
        if (random.chance(0.02)) {
            signal.choose(random);
        }
        const int frames = random.between(1, kBlock);
        signal.fill(inL.data(), inR.data(), frames);
        const bool replacing = random.chance(0.8);
        for (int i = 0; i < frames; ++i) {
            outL[i] = outR[i] = 0.0f;
        }
        (replacing ? effect->processReplacing : effect->process)(effect, inputs, outputs, frames);
        // "Out" and "Mix" may change at any moment on the other thread; at most
        // the output is the larger of the dry input and the wet bound.
        for (int c = 0; c < 2; ++c) {
            const float* out = outputs[c];
            const float* in = inputs[c];
            for (int i = 0; i < frames; ++i) {
                const double bound = std::max(outputBound(1.0f, 0.0f, in[i]), outputBound(1.0f, 1.0f, in[i]));
                if (!std::isfinite(out[i]) || std::fabs(out[i]) > bound) {
                    if (result.badSamples.fetch_add(1) == 0) {
                        std::lock_guard<std::mutex> lock(result.mutex);
                        result.firstFailure = "block " + std::to_string(result.blocks.load()) + " channel " +
                                              std::to_string(c + 1) + " frame " + std::to_string(i) +
                                              ": output " + std::to_string(out[i]);
                    }
                }
            }
        }
        result.blocks.fetch_add(1);
    }
}

Bytes chunkOf(vst2::AEffect* effect, bool isPreset) {
    void* data = nullptr;
    const auto size = effect->dispatcher(effect, vst2::effGetChunk, isPreset ? 1 : 0, 0, &data, 0.0f);
    if (size <= 0 || data == nullptr) {
        return {};
    }
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    return Bytes(bytes, bytes + size);
}

TEST(Threads, UserInterfaceChangesWhileTheAudioThreadProcesses) {
    vhost::PluginHost host;
    ASSERT_TRUE(host.load(VORNHALT_MODULE_PATH)) << host.error();
    host.open(44100.0, kBlock);
    vst2::AEffect* effect = host.effect();

    // Chunks to load: the factory bank, and banks and presets saved after random settings.
    Random random(kSeed ^ 0x7e1du);
    std::vector<Bytes> banks{chunkOf(effect, false)}, presets{chunkOf(effect, true)};
    for (int n = 0; n < 6; ++n) {
        for (int i = 0; i < kParameterCount; ++i) {
            effect->setParameter(effect, i, hostileValue(random, i));
        }
        banks.push_back(chunkOf(effect, false));
        presets.push_back(chunkOf(effect, true));
    }

    std::atomic<bool> stop{false};
    AudioResult result;
    std::thread audio(audioLoop, effect, std::cref(stop), std::ref(result));

    // [ui thread] The host's editor, automation lanes, preset browser and session loads.
    int programs = 0, chunks = 0, op = 0;
    for (; op < kUiOperations || result.blocks.load() < kMinimumBlocks; ++op) {
        const double u = random.unit();
        if (u < 0.80) {
            const int index = random.between(0, kParameterCount - 1);
            effect->setParameter(effect, index, hostileValue(random, index));
        } else if (u < 0.88) {
            effect->dispatcher(effect, vst2::effSetProgram, 0, random.between(0, 31), nullptr, 0.0f);
            ++programs;
        } else if (u < 0.96) {
            const bool preset = random.chance(0.5);
            Bytes chunk = (preset ? presets : banks)[random.below(7)];
            effect->dispatcher(effect, vst2::effSetChunk, preset ? 1 : 0,
                               static_cast<vst2::intptr>(chunk.size()), chunk.data(), 0.0f);
            ++chunks;
        } else if (u < 0.98) {
            char name[32] = "thread test";
            effect->dispatcher(effect, vst2::effSetProgramName, 0, 0, name, 0.0f);
            char back[256] = {};
            effect->dispatcher(effect, vst2::effGetProgramName, 0, 0, back, 0.0f);
            EXPECT_LE(std::strlen(back), 22u);
        } else {
            (void)chunkOf(effect, random.chance(0.5));
        }
        if (random.chance(0.05)) {
            std::this_thread::yield();
        }
        if (random.chance(0.002)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    stop.store(true, std::memory_order_release);
    audio.join();

    std::printf("threads: %d user-interface operations (%d program changes, %d chunk loads) during %lld "
                "audio blocks\n",
                op, programs, chunks, result.blocks.load());
    EXPECT_EQ(result.badSamples.load(), 0) << result.firstFailure;
    EXPECT_GE(result.blocks.load(), kMinimumBlocks);
}

} // namespace
