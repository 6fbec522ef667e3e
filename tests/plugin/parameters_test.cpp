// The parameter table as the host and the editor see it: mappings, display
// values, names, and what happens to values a host should never send.

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "support/fake_host.h"

using namespace param;

namespace {

std::string nameOf(PluginEffect& effect, int index) {
    char text[64];
    std::memset(text, 'x', sizeof(text));
    effect.getParameterName(index, text);
    return text;
}

std::string labelOf(PluginEffect& effect, int index) {
    char text[64] = "junk";
    effect.getParameterLabel(index, text);
    return text;
}

} // namespace

TEST(ParameterMapping, DefaultBlockSizeIsAQuarterSecondAtNominalRate) {
    auto effect = makeEffect();
    EXPECT_EQ(effect->getParameter(kBlockSize), 0.5f);
    // ((fs - 17) * 0.25 + 16) / fs = 11036.75 samples at 44.1 kHz.
    EXPECT_NEAR(effect->getDisplayValue(kBlockSize), 11036.75 / 44100.0, 1e-7);
    EXPECT_NEAR(effect->getDisplayValue(kBlockSize), 0.2502664, 1e-7);
}

TEST(ParameterMapping, StagesBufferRateAndTimes) {
    auto effect = makeEffect();
    effect->setParameter(kStages, 1.0f);
    EXPECT_FLOAT_EQ(effect->getDisplayValue(kStages), 70.0f);
    effect->setParameter(kStages, 0.0f);
    EXPECT_FLOAT_EQ(effect->getDisplayValue(kStages), 1.0f);

    const float rates[][2] = {{0.25f, 0.75f}, {0.5f, 1.0f}, {0.75f, 1.5f}, {0.0f, 0.5f}, {1.0f, 2.0f}};
    for (auto [p, expected] : rates) {
        effect->setParameter(kBufferRate, p);
        EXPECT_FLOAT_EQ(effect->getDisplayValue(kBufferRate), expected) << p;
    }

    effect->setParameter(kLfo1Freq, 0.5f);
    EXPECT_FLOAT_EQ(effect->getDisplayValue(kLfo1Freq), 5.0f); // 20 p^2 Hz
    effect->setParameter(kEnvRelease, 0.5f);
    EXPECT_FLOAT_EQ(effect->getDisplayValue(kEnvRelease), 0.25f); // 2 p^3 s
    effect->setParameter(41, 0.0f);
    EXPECT_FLOAT_EQ(effect->getDisplayValue(41), -1.0f); // route depth 2p - 1
    effect->setParameter(kEnvToSRes, 0.25f);
    EXPECT_FLOAT_EQ(effect->getDisplayValue(kEnvToSRes), 0.25f);
}

TEST(ParameterMapping, ComponentsFollowTheirParameters) {
    auto effect = makeEffect();
    effect->setParameter(kSmoothing, 1.0f); // 0.1 s at the lattices' 11025 Hz
    const double expected = std::pow(0.5, 1.0 / (0.1f * 11025.0));
    EXPECT_NEAR(effect->engine.aSections[0].smoothing, expected, 1e-12);
    EXPECT_NEAR(effect->engine.sSections[1].smoothing, expected, 1e-12);

    effect->setParameter(kDecimation, 0.5f); // period 32 samples
    EXPECT_DOUBLE_EQ(effect->engine.decimators[0].step, 1.0 / 32.0);

    const std::int32_t shapeBefore = effect->engine.lfo1.shape;
    effect->setParameter(kLfo1Freq, 0.9f);
    EXPECT_EQ(effect->engine.lfo1.shape, shapeBefore);
    effect->setParameter(kLfo2Shape, 4.0f);
    EXPECT_EQ(effect->engine.lfo2.shape, 4);
    EXPECT_EQ(effect->engine.lfo2.table[0], -1.0); // square starts low
}

TEST(FeedbackFilterDesign, TypeCutoffAndResonanceRule) {
    auto effect = makeEffect();
    Biquad& filter = effect->engine.feedbackFilters[0];

    effect->setParameter(kResonance, 0.5f);
    effect->setParameter(kFilterType, 0.7f); // peaking: gain 2r, Q 1
    EXPECT_EQ(filter.type, 7);
    EXPECT_FLOAT_EQ(filter.designRecord.gain, 1.0f);
    EXPECT_FLOAT_EQ(filter.designRecord.q, 1.0f);

    effect->setParameter(kFilterType, 0.0f);
    EXPECT_NEAR(filter.designRecord.q, 10.0f * 0.25f + 1e-10f, 1e-6); // 10 r^2
    effect->setParameter(kCutoff, 0.0f);
    EXPECT_NEAR(filter.designRecord.frequency, 2.2e-5, 1e-9);
    effect->setParameter(kCutoff, 1.0f);
    EXPECT_FLOAT_EQ(filter.designRecord.frequency, 22000.0f);
    EXPECT_EQ(effect->engine.feedbackFilters[1].designRecord.frequency, 22000.0f);

    // Type 10 ("Filter Type" at 1.0) and a negative type have no design: coefficients stay.
    const double nb0 = filter.nb0, na1 = filter.na1;
    effect->setParameter(kFilterType, 1.0f);
    effect->setParameter(kCutoff, 0.5f);
    EXPECT_EQ(filter.nb0, nb0);
    EXPECT_EQ(filter.na1, na1);
    effect->setParameter(kFilterType, -0.3f);
    effect->setParameter(kCutoff, 0.3f);
    EXPECT_EQ(filter.nb0, nb0);
    EXPECT_EQ(filter.na1, na1);

    // Peaking at resonance 0 would divide by a gain of 0: the filter stays finite.
    effect->setParameter(kFilterType, 0.7f);
    effect->setParameter(kResonance, 0.0f);
    EXPECT_TRUE(std::isfinite(filter.nb0) && std::isfinite(filter.na1) && std::isfinite(filter.na2));
}

// Hosts automate from the audio thread while the UI thread may be designing the
// same filters, and a UI thread can be pre-empted in the middle of a design:
// a change never waits for it, and reaches both filters by the next control step.
TEST(FeedbackFilterDesign, AChangeNeverWaitsForADesignInProgress) {
    auto effect = makeEffect();
    Biquad& busy = effect->engine.feedbackFilters[0];
    ASSERT_FALSE(busy.designing.test_and_set()); // another thread is designing filter 1 from here on
    std::atomic<bool> returned{false};
    std::thread automation([&] {
        effect->setParameter(kCutoff, 0.5f); // 0.125 * 22000 Hz
        returned.store(true);
    });
    for (int waited = 0; waited < 5000 && !returned.load(); waited += 10) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const bool waitedForTheDesign = !returned.load();
    busy.designing.clear();
    automation.join();
    ASSERT_FALSE(waitedForTheDesign) << "setParameter waited for another thread's design";
    EXPECT_EQ(effect->engine.feedbackFilters[1].designRecord.frequency, 2750.0f); // the free one at once

    StereoBlock block(8);
    effect->processReplacing(block.inputs(), block.outputs(), 8);
    Biquad fresh;
    ASSERT_TRUE(fresh.design(busy.type, busy.designRecord));
    EXPECT_EQ(busy.designRecord.frequency, 2750.0f);
    EXPECT_EQ(busy.nb0, fresh.nb0);
    EXPECT_EQ(busy.na1, fresh.na1);
    EXPECT_EQ(busy.na2, fresh.na2);
}

TEST(SyncDisplay, DelaySyncedToQuarterNotesShowsGridSteps) {
    auto effect = makeEffect();
    effect->setParameter(kDelay, 0.3f);
    EXPECT_FLOAT_EQ(effect->getDisplayValue(kDelay), 0.3f);
    effect->setParameter(kDelaySync, 4.0f); // "1/4" at 120 BPM: steps of 0.125 s
    EXPECT_FLOAT_EQ(effect->getDisplayValue(kDelay), 3.0f);
    EXPECT_NEAR(effect->syncRound(0.3f, 4.0f), 0.375f, 1e-6);

    // The engine rounds the same delay up to 3 steps, 16537.5 samples.
    StereoBlock block(1);
    effect->processReplacing(block.inputs(), block.outputs(), 1);
    EXPECT_NEAR(effect->engine.feedbackDelays[0].delaySeconds, 0.375f, 1e-6);
    EXPECT_NEAR(effect->engine.feedbackDelays[1].delaySeconds, 0.375f, 1e-6);
}

TEST(SyncDisplay, LfoPeriodInGridStepsAndStoppedLfo) {
    auto effect = makeEffect();
    effect->setParameter(kLfo1Freq, 0.5f); // 5 Hz: 0.2 s, 1/16 steps of 0.03125 s -> 7 steps
    effect->setParameter(kLfo1Sync, 6.0f);
    EXPECT_FLOAT_EQ(effect->getDisplayValue(kLfo1Freq), 7.0f);
    effect->setParameter(kLfo1Freq, 0.0f); // a stopped LFO shows its plain 0
    EXPECT_EQ(effect->getDisplayValue(kLfo1Freq), 0.0f);
}

TEST(SyncDisplay, DivisionsOutsideTheListOrBelowOneStepRunFree) {
    auto effect = makeEffect();
    effect->setParameter(kDelay, 0.3f);
    for (float sync : {1.0f, 15.0f, 99.0f, -1.0f, -0.5f, 1e30f}) {
        effect->setParameter(kDelaySync, sync);
        EXPECT_FLOAT_EQ(effect->getDisplayValue(kDelay), 0.3f) << sync;
        StereoBlock block(1);
        effect->processReplacing(block.inputs(), block.outputs(), 1);
        EXPECT_NEAR(effect->engine.feedbackDelays[0].delaySeconds, 0.3f, 1e-6) << sync;
    }
}

TEST(ParameterNames, NamesAndLabels) {
    auto effect = makeEffect();
    EXPECT_EQ(nameOf(*effect, 0), "");
    EXPECT_EQ(nameOf(*effect, 55), "");
    EXPECT_EQ(nameOf(*effect, 1), "Block Size");
    EXPECT_EQ(nameOf(*effect, 2), "# Stages");
    EXPECT_EQ(nameOf(*effect, 46), "LFO 1->Fb Cutoff");
    EXPECT_EQ(nameOf(*effect, 54), "Mix");
    EXPECT_EQ(nameOf(*effect, 6), "A Rotate");
    EXPECT_EQ(nameOf(*effect, 14), "S Rotate");
    EXPECT_EQ(nameOf(*effect, 22), "Delay Cross");
    for (int i = 0; i < kCount; ++i) {
        EXPECT_LE(nameOf(*effect, i).size(), 16u);
        EXPECT_LE(labelOf(*effect, i).size(), 16u);
    }
}

TEST(HostInputGuards, IndicesOutsideTheTableAreIgnored) {
    auto effect = makeEffect();
    const float before[2] = {effect->values[0], effect->values[55]};
    for (int index : {-1, 56, 1000, std::numeric_limits<int>::min()}) {
        effect->setParameter(index, 0.77f);
        EXPECT_EQ(effect->getParameter(index), 0.0f);
        EXPECT_EQ(nameOf(*effect, index), "");
        EXPECT_EQ(labelOf(*effect, index), "");
        EXPECT_EQ(effect->getDisplayValue(index), 0.0f);
    }
    EXPECT_EQ(effect->values[0], before[0]);
    EXPECT_EQ(effect->values[55], before[1]);
}

TEST(HostInputGuards, NonFiniteValuesAreRefusedEverywhere) {
    auto effect = makeEffect();
    effect->setParameter(kFeedback, 0.4f);
    const float engineBefore = effect->engineValues[kFeedback];
    for (float bad : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                      -std::numeric_limits<float>::infinity()}) {
        effect->setParameter(kFeedback, bad);
        EXPECT_EQ(effect->getParameter(kFeedback), 0.4f);
        EXPECT_EQ(effect->engineValues[kFeedback], engineBefore);
        EXPECT_EQ(effect->program(0).values[kFeedback], 0.4f);
    }
}

TEST(HostInputGuards, OutOfRangeValuesKeepEveryControlValueFinite) {
    auto effect = makeEffect();
    // Values no editor sends, on every index at once.
    for (int i = 0; i < kCount; ++i) {
        effect->setParameter(i, (i % 2) ? 1e30f : -1e30f);
    }
    effect->setParameter(kStages, 2.0f);
    effect->setParameter(kARes, -1.0f);
    FakeHost::time.ppqPos = -1234.567; // a negative song position
    effect->setParameter(kLfo1Sync, 4.0f);
    effect->setParameter(kLfo1Freq, 0.5f);

    StereoBlock block(2048);
    for (int i = 0; i < block.frames(); ++i) {
        block.inL[i] = std::sin(0.05f * static_cast<float>(i));
        block.inR[i] = std::cos(0.031f * static_cast<float>(i));
    }
    effect->processReplacing(block.inputs(), block.outputs(), block.frames());
    for (int i = 0; i < block.frames(); ++i) {
        ASSERT_TRUE(std::isfinite(block.outL[i]) && std::isfinite(block.outR[i])) << i;
    }
    EXPECT_LE(effect->engine.aSections[0].stages, 70);
    EXPECT_LT(effect->engine.lfo1.phase, 1u << 29);
    for (const Biquad& filter : effect->engine.feedbackFilters) {
        EXPECT_TRUE(std::isfinite(filter.nb0) && std::isfinite(filter.na1) && std::isfinite(filter.na2));
    }
}

TEST(HostTime, MissingOrInvalidTempoIsTakenAs120) {
    auto effect = makeEffect();
    StereoBlock block(8);
    const double tempi[] = {0.0, -5.0, std::numeric_limits<double>::quiet_NaN(),
                            std::numeric_limits<double>::infinity()};
    for (double tempo : tempi) {
        FakeHost::time.tempo = tempo;
        effect->processReplacing(block.inputs(), block.outputs(), 8);
        EXPECT_EQ(effect->engine.hostTime.samplesPerBeat, 22050) << tempo;
    }
    FakeHost::time.tempo = 90.0;
    FakeHost::time.flags = vst2::kVstPpqPosValid; // tempo not reported
    effect->processReplacing(block.inputs(), block.outputs(), 8);
    EXPECT_EQ(effect->engine.hostTime.samplesPerBeat, 22050);

    FakeHost::time.flags = vst2::kVstTempoValid;
    effect->processReplacing(block.inputs(), block.outputs(), 8);
    EXPECT_EQ(effect->engine.hostTime.samplesPerBeat, 29400);

    FakeHost::time.tempo = 1e12; // absurdly fast: still at least one sample per beat
    effect->processReplacing(block.inputs(), block.outputs(), 8);
    EXPECT_GE(effect->engine.hostTime.samplesPerBeat, 1);

    FakeHost::provideTime = false;
    effect->processReplacing(block.inputs(), block.outputs(), 8);
    EXPECT_EQ(effect->engine.hostTime.samplesPerBeat, 22050);
    EXPECT_EQ(effect->engine.hostTime.songPosition, 0.0);
}

// A host that sets the rate after the program was applied gets the block
// length of its rate at once, not of the rate in force when it was set.
TEST(SampleRate, BlockSizeFollowsTheRate) {
    auto effect = makeEffect();
    effect->setSampleRate(48000.0f);
    EXPECT_NEAR(effect->getDisplayValue(kBlockSize), (0.25 * (48000 - 17) + 16) / 48000.0, 1e-7);
    effect->setParameter(kBlockSize, 1.0f);
    effect->setSampleRate(8000.0f);
    EXPECT_NEAR(effect->getDisplayValue(kBlockSize), 7999.0 / 8000.0, 1e-7); // fs - 1 samples

    for (float bad : {0.0f, -44100.0f, std::numeric_limits<float>::quiet_NaN()}) {
        effect->setSampleRate(bad);
        EXPECT_EQ(effect->engine.workingSampleRate, 8000.0f);
    }
    // The opcode that sets both reaches the engine too.
    effect->dispatcher(vst2::effSetBlockSizeAndSampleRate, 0, 256, nullptr, 96000.0f);
    EXPECT_EQ(effect->engine.workingSampleRate, 96000.0f);
    EXPECT_EQ(effect->getBlockSize(), 256);
    EXPECT_NEAR(effect->getDisplayValue(kBlockSize), 95999.0 / 96000.0, 1e-7);
}

// The envelope's attack law: after its attack time a rise has covered three
// quarters of the step, at any rate.
TEST(SampleRate, TheEnvelopeAttacksInSeconds) {
    const float attack = std::cbrt(0.1f); // "Env. Attack" is p^3 seconds: 0.1 s
    for (float rate : {44100.0f, 96000.0f}) {
        auto effect = makeEffect();
        effect->setSampleRate(rate);
        effect->setParameter(kEnvAttack, attack);
        const int samples = static_cast<int>(std::lround(0.1 * rate));
        StereoBlock block(samples);
        for (int i = 0; i < samples; ++i) {
            block.inL[i] = block.inR[i] = 0.5f; // a step of mean power 0.25
        }
        effect->processReplacing(block.inputs(), block.outputs(), samples);
        EXPECT_NEAR(effect->engine.envelope.lastOutput, 0.75 * 0.25, 0.002) << rate;
    }
}

TEST(MidiControllers, UnmappedControllersDoNothing) {
    auto effect = makeEffect();
    vst2::VstMidiEvent cc{};
    cc.type = vst2::kVstMidiType;
    cc.byteSize = sizeof(cc);
    cc.midiData[0] = static_cast<char>(0xB3);
    cc.midiData[1] = 7;
    cc.midiData[2] = 64;
    vst2::VstEvents events{};
    events.numEvents = 1;
    events.events[0] = reinterpret_cast<vst2::VstEvent*>(&cc);

    const float before = effect->getParameter(kFeedback);
    EXPECT_EQ(effect->processEvents(&events), 1);
    EXPECT_EQ(effect->getParameter(kFeedback), before);
    EXPECT_EQ(FakeHost::count(vst2::audioMasterUpdateDisplay), 0);

    effect->controllerMap[7] = kFeedback;
    EXPECT_EQ(effect->processEvents(&events), 1);
    EXPECT_FLOAT_EQ(effect->getParameter(kFeedback), 64.0f / 127.0f);
    EXPECT_EQ(FakeHost::count(vst2::audioMasterUpdateDisplay), 1);
    EXPECT_EQ(FakeHost::count(vst2::audioMasterAutomate), 0);

    // Controller 126, other messages and null lists are ignored.
    effect->controllerMap[126] = kMix;
    cc.midiData[1] = 126;
    const float mix = effect->getParameter(kMix);
    effect->processEvents(&events);
    cc.midiData[0] = static_cast<char>(0x90);
    cc.midiData[1] = 7;
    effect->processEvents(&events);
    EXPECT_EQ(effect->getParameter(kMix), mix);
    EXPECT_EQ(effect->processEvents(nullptr), 1);
    events.events[0] = nullptr;
    EXPECT_EQ(effect->processEvents(&events), 1);
}
