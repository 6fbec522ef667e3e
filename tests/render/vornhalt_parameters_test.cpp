// The renderer's copy of Vornhalt's parameter knowledge: known display values, the editor's
// texts, and a cross-check against the effect's own getDisplayValue over random states.

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <random>

#include "host/plugin_effect.h"
#include "render/vornhalt_parameters.h"

using namespace vrender;

namespace {

std::array<float, 56> factory() {
    std::array<float, 56> v{};
    v[1] = 0.5f;
    v[2] = 0.1f;
    v[4] = v[13] = 0.8f;
    v[5] = v[15] = 0.98f;
    v[11] = 0.5f;
    v[19] = 0.1f;
    v[20] = 1.0f;
    v[27] = v[32] = 0.05f;
    for (int i = 35; i <= 52; ++i) {
        v[static_cast<std::size_t>(i)] = 0.5f;
    }
    v[53] = 1.0f;
    v[54] = 0.5f;
    return v;
}

const DisplayContext k44At120{44100.0f, 120.0};

std::string text(const std::array<float, 56>& v, int index, const DisplayContext& c = k44At120) {
    return editorText(v.data(), index, c);
}

} // namespace

TEST(VornhaltParameters, BlockSizeShowsItsLengthInMilliseconds) {
    const auto v = factory();
    EXPECT_NEAR(displayValue(v.data(), 1, k44At120), 0.2502664f, 1e-7f);
    EXPECT_EQ(text(v, 1), "250.3 ms");
    // The length follows the rate the value was set at: 11036.75 samples at 44.1 kHz,
    // (0.25 * 47983 + 16) / 48000 seconds at 48 kHz.
    EXPECT_NEAR(displayValue(v.data(), 1, DisplayContext{48000.0f, 120.0}), (0.25 * 47983 + 16) / 48000,
                1e-7);
}

TEST(VornhaltParameters, SyncedDelayShowsGridSteps) {
    auto v = factory();
    v[16] = 0.3f;
    EXPECT_EQ(text(v, 16), "0.30"); // free: seconds
    v[21] = 4.0f;                   // "1/4": steps of 5512.5 samples at 120 BPM
    EXPECT_EQ(samplesPerBeat(k44At120), 22050);
    EXPECT_FLOAT_EQ(syncRound(0.3f, 4.0f, k44At120), 0.375f);
    EXPECT_FLOAT_EQ(displayValue(v.data(), 16, k44At120), 3.0f);
    EXPECT_EQ(text(v, 16), "3.00");
    // At 90 BPM a quarter of a beat is 1/6 s: 0.3 s rounds up to 2 steps.
    EXPECT_FLOAT_EQ(displayValue(v.data(), 16, DisplayContext{44100.0f, 90.0}), 2.0f);
    // "4/1" is below one step per beat and runs free.
    v[21] = 1.0f;
    EXPECT_FLOAT_EQ(displayValue(v.data(), 16, k44At120), 0.3f);
}

TEST(VornhaltParameters, LfoFrequencyShowsHertzOrPeriodSteps) {
    auto v = factory();
    EXPECT_EQ(text(v, 27), "0.05 Hz");
    v[27] = 0.35f; // 2.45 Hz: a period of 0.408 s, four 1/4-beat steps at 120 BPM
    v[26] = 4.0f;
    EXPECT_FLOAT_EQ(displayValue(v.data(), 27, k44At120), 4.0f);
    EXPECT_EQ(text(v, 27), "4");
    v[27] = 0.0f; // no frequency, nothing to sync
    EXPECT_EQ(text(v, 27), "--");
    v[31] = 0.0f;
    v[32] = 1.0f;
    EXPECT_EQ(text(v, 32), "20.00 Hz");
}

TEST(VornhaltParameters, ValueLawsOfTheKnobs) {
    auto v = factory();
    v[11] = 0.25f;
    EXPECT_FLOAT_EQ(engineValue(v.data(), 11, k44At120), 0.75f);
    v[11] = 0.75f;
    EXPECT_FLOAT_EQ(engineValue(v.data(), 11, k44At120), 1.5f);
    v[2] = 1.0f;
    EXPECT_EQ(text(v, 2), "70");
    v[2] = 0.0f;
    EXPECT_EQ(text(v, 2), "1");
    v[23] = 0.5f; // attack p^3
    EXPECT_EQ(text(v, 23), "125.00 ms");
    v[24] = 1.0f; // release 2 p^3
    EXPECT_EQ(text(v, 24), "2.000 s");
    v[41] = 0.75f; // a route's depth
    EXPECT_EQ(text(v, 41), "0.50");
    v[36] = 0.75f; // the one route without a depth law
    EXPECT_EQ(text(v, 36), "0.75");
    v[17] = 1.7f; // a host may store more than 1; the engine holds it to 1
    EXPECT_EQ(text(v, 17), "1.00");
}

TEST(VornhaltParameters, MenusButtonsAndFilterShowTheirEntries) {
    auto v = factory();
    EXPECT_EQ(text(v, 21), "off");
    v[21] = 14.0f;
    EXPECT_EQ(text(v, 21), "1/16 D");
    v[21] = 15.0f;
    EXPECT_NE(text(v, 21).find("no entry"), std::string::npos);
    v[30] = 6.0f;
    EXPECT_EQ(text(v, 30), "s & h");
    // The filter display reads its type back rounded: 0.3 and 0.25 are both "Bandstop".
    v[18] = 0.3f;
    EXPECT_EQ(text(v, 18), "Bandstop");
    v[18] = 0.25f;
    EXPECT_EQ(text(v, 18), "Bandstop");
    v[18] = 0.7f;
    EXPECT_EQ(text(v, 18), "Peaking");
    EXPECT_EQ(text(v, 20), "gain 2.00");
    v[18] = 0.0f;
    EXPECT_EQ(text(v, 20), "Q 10.00");
    EXPECT_EQ(text(v, 19), "22.00 Hz"); // 0.1^3 x 22000
    // A button shows "on" for anything but 0.
    v[29] = 0.3f;
    EXPECT_EQ(text(v, 29), "on");
    EXPECT_EQ(text(v, 34), "off");
    for (int hidden : {0, 7, 8, 12, 28, 33, 55}) {
        EXPECT_EQ(text(v, hidden), "-") << hidden;
    }
}

TEST(VornhaltParameters, ListEntriesByNameAndTheValuesTheEditorStores) {
    EXPECT_EQ(listSize(18), 8);
    EXPECT_EQ(listSize(21), 15);
    EXPECT_EQ(listSize(25), 8);
    EXPECT_EQ(listSize(17), 0);
    EXPECT_EQ(findListEntry(21, "1/8 d"), 13);
    EXPECT_EQ(findListEntry(25, "SAW DN"), 3);
    EXPECT_EQ(findListEntry(18, "high shelf"), 6);
    EXPECT_FALSE(findListEntry(21, "1/3"));
    EXPECT_FALSE(findListEntry(17, "off"));
    EXPECT_EQ(storedValueOfEntry(21, 13), 13.0f);
    // Every filter type stored as the editor stores it reads back as that type.
    auto v = factory();
    for (int type = 0; type < 8; ++type) {
        v[18] = storedValueOfEntry(18, type);
        EXPECT_EQ(text(v, 18), listEntry(18, type));
        EXPECT_EQ(static_cast<int>(engineValue(v.data(), 18, k44At120)), type);
    }
}

namespace {

vst2::VstTimeInfo gTime{};

vst2::intptr timeHost(vst2::AEffect*, vst2::int32 opcode, vst2::int32, vst2::intptr, void*, float) {
    if (opcode == vst2::audioMasterVersion) {
        return 2400;
    }
    if (opcode == vst2::audioMasterGetTime) {
        return reinterpret_cast<vst2::intptr>(&gTime);
    }
    return 0;
}

} // namespace

// The effect's own display values are the truth the renderer must match, for any state.
TEST(VornhaltParameters, MatchesTheEffectsDisplayValuesInRandomStates) {
    std::mt19937 random(20240611);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    const std::array<DisplayContext, 4> contexts = {
        DisplayContext{44100.0f, 120.0}, DisplayContext{48000.0f, 97.3}, DisplayContext{22050.0f, 174.0},
        DisplayContext{96000.0f, 60.0}};
    int compared = 0;
    for (const DisplayContext& context : contexts) {
        for (int round = 0; round < 25; ++round) {
            auto effect = std::make_unique<PluginEffect>(&timeHost);
            effect->setSampleRate(context.sampleRate);
            std::array<float, 56> v{};
            for (int i = 0; i < 56; ++i) {
                float value = unit(random);
                if (listSize(i) > 0 && i != 18) {
                    value = static_cast<float>(
                        random() % static_cast<unsigned>(listSize(i) + 1)); // one past the list too
                } else if (random() % 8 == 0) {
                    value = value * 2.0f - 0.5f; // a host may send values outside 0..1
                }
                v[static_cast<std::size_t>(i)] = value;
                effect->setParameter(i, value);
            }
            gTime = {};
            gTime.tempo = context.tempo;
            gTime.sampleRate = context.sampleRate;
            gTime.flags = vst2::kVstTempoValid | vst2::kVstPpqPosValid;
            float silence[2][8] = {};
            float out[2][8] = {};
            float* ins[2] = {silence[0], silence[1]};
            float* outs[2] = {out[0], out[1]};
            effect->processReplacing(ins, outs, 8); // takes the tempo in

            for (int i = 0; i < 56; ++i) {
                const float mine = displayValue(v.data(), i, context);
                const float theirs = effect->getDisplayValue(i);
                if (std::isnan(theirs)) {
                    EXPECT_TRUE(std::isnan(mine)) << "index " << i;
                } else {
                    EXPECT_EQ(mine, theirs) << "index " << i << " value " << v[static_cast<std::size_t>(i)]
                                            << " rate " << context.sampleRate << " tempo " << context.tempo;
                }
                ++compared;
            }
        }
    }
    EXPECT_EQ(compared, 4 * 25 * 56);
}
