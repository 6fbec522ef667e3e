// The battery's white-box half: the effect and its editor linked in, for what
// the binary interface cannot reach. The editor runs on the headless backend;
// the LFOs' random shapes are seeded, so chunks can be compared with them too.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "battery_driver.h"
#include "editor/editor_bridge.h"
#include "gui/headless/headless_platform.h"
#include "plugin/plugin_effect_with_editor.h"
#include "support/fake_host.h"
#include "support/headless_editor.h"

namespace {

using namespace battery;

std::unique_ptr<PluginEffectWithEditor> makeEditorEffect() {
    FakeHost::reset();
    return std::make_unique<PluginEffectWithEditor>(&FakeHost::callback, &headlessEditor);
}

vst2::intptr dispatch(PluginEffect& effect, vst2::int32 opcode, vst2::int32 index = 0, vst2::intptr value = 0,
                      void* ptr = nullptr, float opt = 0.0f) {
    vst2::AEffect* record = effect.getAeffect();
    return record->dispatcher(record, opcode, index, value, ptr, opt);
}

// The host actions of a step, through the record as a host makes them (the
// host's time is FakeHost's, shared by every instance here).
void apply(PluginEffect& effect, const Step& step) {
    vst2::AEffect* record = effect.getAeffect();
    if (step.changeTransport) {
        FakeHost::provideTime = step.transport.available;
        FakeHost::time.tempo = step.transport.tempo;
        FakeHost::time.ppqPos = step.transport.startBeat;
        FakeHost::time.flags = step.transport.flags;
    }
    for (const auto& [index, value] : step.parameters) {
        record->setParameter(record, index, value);
    }
    if (step.changeProgram) {
        dispatch(effect, vst2::effSetProgram, 0, step.program);
    }
    if (step.resume && step.suspendFirst) {
        dispatch(effect, vst2::effMainsChanged, 0, 0);
    }
    if (step.sampleRate > 0.0) {
        dispatch(effect, vst2::effSetSampleRate, 0, 0, nullptr, static_cast<float>(step.sampleRate));
    }
    if (step.resume) {
        dispatch(effect, vst2::effMainsChanged, 0, 1);
    }
}

void run(PluginEffect& effect, const Step& step, const float* inL, const float* inR, float* outL,
         float* outR) {
    vst2::AEffect* record = effect.getAeffect();
    float* inputs[2] = {const_cast<float*>(inL), const_cast<float*>(inR)};
    float* outputs[2] = {outL, outR};
    if (step.replacing) {
        record->processReplacing(record, inputs, outputs, step.frames);
    } else {
        for (int i = 0; i < step.frames; ++i) {
            outL[i] = outR[i] = step.accumulateBase;
        }
        record->process(record, inputs, outputs, step.frames);
    }
}

struct Buffers {
    std::vector<float> inL = std::vector<float>(kMaxBlock), inR = std::vector<float>(kMaxBlock);
    std::vector<float> outL[3], outR[3];
    Buffers() {
        for (int c = 0; c < 3; ++c) {
            outL[c].resize(kMaxBlock);
            outR[c].resize(kMaxBlock);
        }
    }
};

int iterationsFromEnvironment(int fallback) {
    const char* text = std::getenv("VORNHALT_BATTERY_ITERATIONS");
    if (text == nullptr || *text == '\0') {
        return fallback;
    }
    const long n = std::strtol(text, nullptr, 10);
    // The module's run is the long one; this one takes a fifth of its length.
    return n > 0 && n < 100000000 ? static_cast<int>(std::max(1L, n / 5)) : fallback;
}

// The module's hostile run leaves out the random LFO shapes, which it draws
// from the clock; here they are seeded and take part, at high rates and with
// every route at its extremes as often as not.
TEST(WhiteBoxBattery, HostileUseWithRandomShapesKeepsEveryOutputSampleFiniteAndBounded) {
    FakeHost::reset();
    auto effect = std::make_unique<PluginEffect>(&FakeHost::callback);
    effect->engine.lfo1.fixedSeed = 0x5eed1u;
    effect->engine.lfo2.fixedSeed = 0x5eed2u;
    const int iterations = iterationsFromEnvironment(30000);
    Random random(kSeed ^ 0x7a4d0u);
    SignalSource signal;
    signal.choose(random);
    Buffers b;
    ActionLog log;
    double wetPeak = 0.0;
    long long samples = 0;
    for (int iteration = 0; iteration < iterations; ++iteration) {
        Step step = randomStep(random, true);
        if (random.chance(0.05)) {
            step.parameters.emplace_back(
                random.chance(0.5) ? kLfo1Shape : kLfo2Shape,
                static_cast<float>(random.between(kSampleAndHoldShape, kRandomShape)));
        }
        if (random.chance(0.02)) {
            signal.choose(random);
            log.add("signal " + signal.describe());
        }
        log.add(step.describe());
        apply(*effect, step);
        signal.fill(b.inL.data(), b.inR.data(), step.frames);
        run(*effect, step, b.inL.data(), b.inR.data(), b.outL[0].data(), b.outR[0].data());
        std::string failure;
        ASSERT_TRUE(checkBlock(effect->values[kOut], effect->values[kMix], step, b.inL.data(), b.inR.data(),
                               b.outL[0].data(), b.outR[0].data(), wetPeak, failure))
            << "iteration " << iteration << ": " << failure << "\nlast actions:\n"
            << log.text();
        samples += step.frames;
    }
    std::printf(
        "white-box battery: %d iterations, %lld samples per channel; largest wet magnitude seen %.4g\n",
        iterations, samples, wetPeak);
}

// The headless editor opened, idled and closed between blocks (and opened
// again while open, as careless hosts do) changes nothing in the audio.
TEST(WhiteBoxBattery, HeadlessEditorOpenedAndClosedBetweenBlocksLeavesTheAudioAlone) {
    auto quiet = makeEditorEffect();
    auto shown = makeEditorEffect();
    for (PluginEffect* effect :
         {static_cast<PluginEffect*>(quiet.get()), static_cast<PluginEffect*>(shown.get())}) {
        effect->engine.lfo1.fixedSeed = 11;
        effect->engine.lfo2.fixedSeed = 12;
    }
    ASSERT_NE(shown->getEditor(), nullptr);
    Random random(kSeed ^ 0x4ead1e55u);
    SignalSource signal;
    signal.choose(random);
    Buffers b;
    int parent = 0;
    bool open = false;
    int opens = 0;
    for (int block = 0; block < 250; ++block) {
        const Step step = randomStep(random, true);
        apply(*quiet, step);
        apply(*shown, step);
        const double u = random.unit();
        if (u < 0.12) {
            vst2::ERect* rect = nullptr;
            ASSERT_EQ(dispatch(*shown, vst2::effEditGetRect, 0, 0, &rect), 1);
            ASSERT_NE(rect, nullptr);
            EXPECT_EQ(dispatch(*shown, vst2::effEditOpen, 0, 0, &parent), 1);
            open = true;
            ++opens;
        } else if (u < 0.22 && open) {
            dispatch(*shown, vst2::effEditClose);
            open = false;
        }
        for (int i = random.between(0, 3); i > 0; --i) {
            dispatch(*shown, vst2::effEditIdle);
        }
        signal.fill(b.inL.data(), b.inR.data(), step.frames);
        run(*quiet, step, b.inL.data(), b.inR.data(), b.outL[0].data(), b.outR[0].data());
        run(*shown, step, b.inL.data(), b.inR.data(), b.outL[1].data(), b.outR[1].data());
        ASSERT_TRUE(sameSamples(b.outL[0].data(), b.outL[1].data(), step.frames))
            << "block " << block << ": " << step.describe();
        ASSERT_TRUE(sameSamples(b.outR[0].data(), b.outR[1].data(), step.frames)) << block;
        for (int i = 0; i < kParameterCount; ++i) {
            ASSERT_EQ(std::memcmp(&quiet->values[i], &shown->values[i], sizeof(float)), 0) << block;
        }
    }
    EXPECT_GT(opens, 10);
    // Destroyed with its editor open.
    if (!open) {
        dispatch(*shown, vst2::effEditOpen, 0, 0, &parent);
    }
    vst2::AEffect* record = shown.release()->getAeffect();
    EXPECT_EQ(record->dispatcher(record, vst2::effClose, 0, 0, nullptr, 0.0f), 1);
}

// With the random shapes seeded, a chunk restores them too: fresh instances
// given the bank, the preset or the values produce the same output.
TEST(WhiteBoxBattery, ChunkRestoresSeededRandomShapes) {
    Random random(kSeed ^ 0x5ee0u);
    for (int round = 0; round < 4; ++round) {
        FakeHost::reset();
        auto source = std::make_unique<PluginEffect>(&FakeHost::callback);
        source->engine.lfo1.fixedSeed = 101;
        source->engine.lfo2.fixedSeed = 202;
        SignalSource signal;
        signal.choose(random);
        Buffers b;
        for (int i = 0; i < 100; ++i) {
            Step step = randomStep(random, true);
            step.sampleRate = 0.0;
            apply(*source, step);
            signal.fill(b.inL.data(), b.inR.data(), step.frames);
            run(*source, step, b.inL.data(), b.inR.data(), b.outL[0].data(), b.outR[0].data());
        }
        // Make sure the random shapes are in force.
        source->setParameter(kLfo1Shape, static_cast<float>(kSampleAndHoldShape));
        source->setParameter(kLfo2Shape, static_cast<float>(kRandomShape));
        source->setParameter(kLfo1Sync, 0.0f);
        source->setParameter(27, 1.0f); // LFO 1 Freq
        source->setParameter(41, 1.0f); // LFO 1 -> S Warp
        source->setParameter(52, 0.0f); // LFO 2 -> Fb Cutoff
        source->setParameter(kMix, 1.0f);
        void* data = nullptr;
        const int bankSize = source->getChunk(&data, false);
        const std::vector<std::uint8_t> bank(static_cast<std::uint8_t*>(data),
                                             static_cast<std::uint8_t*>(data) + bankSize);
        const int presetSize = source->getChunk(&data, true);
        const std::vector<std::uint8_t> preset(static_cast<std::uint8_t*>(data),
                                               static_cast<std::uint8_t*>(data) + presetSize);
        const vst2::intptr program = source->getProgram();
        std::vector<float> values(source->values, source->values + kParameterCount);
        const float sampleRate = source->getSampleRate();
        source.reset();

        std::unique_ptr<PluginEffect> copies[3];
        for (auto& copy : copies) {
            copy = std::make_unique<PluginEffect>(&FakeHost::callback);
            copy->engine.lfo1.fixedSeed = 101;
            copy->engine.lfo2.fixedSeed = 202;
            dispatch(*copy, vst2::effSetSampleRate, 0, 0, nullptr, sampleRate);
            dispatch(*copy, vst2::effSetProgram, 0, program);
        }
        ASSERT_EQ(
            dispatch(*copies[0], vst2::effSetChunk, 0, bankSize, const_cast<std::uint8_t*>(bank.data())), 1);
        ASSERT_EQ(
            dispatch(*copies[1], vst2::effSetChunk, 1, presetSize, const_cast<std::uint8_t*>(preset.data())),
            1);
        for (int i = 0; i < kParameterCount; ++i) {
            copies[2]->setParameter(i, values[static_cast<std::size_t>(i)]);
        }
        for (int c = 1; c < 3; ++c) {
            ASSERT_EQ(0, std::memcmp(copies[0]->engine.lfo1.table, copies[c]->engine.lfo1.table,
                                     sizeof(copies[0]->engine.lfo1.table)));
            ASSERT_EQ(0, std::memcmp(copies[0]->engine.lfo2.table, copies[c]->engine.lfo2.table,
                                     sizeof(copies[0]->engine.lfo2.table)));
        }
        for (int i = 0; i < 80; ++i) {
            Step step = randomStep(random, true);
            step.sampleRate = 0.0;
            step.changeProgram = false; // only the current program was carried over by all three
            signal.fill(b.inL.data(), b.inR.data(), step.frames);
            for (int c = 0; c < 3; ++c) {
                apply(*copies[c], step);
                run(*copies[c], step, b.inL.data(), b.inR.data(), b.outL[c].data(), b.outR[c].data());
            }
            for (int c = 1; c < 3; ++c) {
                ASSERT_TRUE(sameSamples(b.outL[0].data(), b.outL[c].data(), step.frames))
                    << "round " << round << " block " << i << " copy " << c << ": " << step.describe();
                ASSERT_TRUE(sameSamples(b.outR[0].data(), b.outR[c].data(), step.frames));
            }
        }
    }
}

} // namespace
