// What a host's own controls see of the built module: value texts with their
// units, typed values read back, program names, the tail and the soft bypass.

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/parameter_table.h"
#include "host/plugin_host.h"

namespace {

using namespace param;

class HostView : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(host.load(VORNHALT_MODULE_PATH)) << host.error();
        host.open(44100.0, 512);
    }
    std::string shown(int index) { return host.parameterDisplay(index) + "|" + host.parameterLabel(index); }
    bool typed(int index, const std::string& text) {
        std::string copy = text;
        return host.dispatch(vst2::effString2Parameter, index, 0, copy.data()) == 1;
    }
    vhost::PluginHost host;
};

TEST_F(HostView, ValuesShowAsTheEditorShowsThem) {
    // The factory program: "Block Size" 0.5 is ((44100 - 17) / 4 + 16) / 44100 s, the LFOs
    // 20 * 0.05^2 Hz, "Cutoff" 0.1^3 of 22 kHz at Q 10 x 1^2, a low-pass.
    EXPECT_EQ(shown(kBlockSize), "250.3|ms");
    EXPECT_EQ(shown(kStages), "7|");
    EXPECT_EQ(shown(kLfo1Freq), "0.05|Hz");
    EXPECT_EQ(shown(kCutoff), "22.00|Hz");
    EXPECT_EQ(shown(kResonance), "Q 10.00|");
    EXPECT_EQ(shown(kFilterType), "Lowpass|");
    EXPECT_EQ(shown(kCrossSwitch), "off|");
    EXPECT_EQ(shown(kDelay), "0.00|s");
    host.setParameter(kDelaySync, 13.0f);
    host.setParameter(kDelay, 0.3f);
    EXPECT_EQ(shown(kDelaySync), "1/8 D|");
    // The divisions count beats: a dotted eighth of a beat at 120 BPM is 0.09375 s, so 0.3 s
    // rounds up to 4 steps.
    EXPECT_EQ(shown(kDelay), "4.00|");
    host.setParameter(kFilterType, 0.7f);
    host.setParameter(kResonance, 0.5f);
    EXPECT_EQ(shown(kResonance), "gain 1.00|");
    host.setParameter(kEnvRelease, 1.0f);
    EXPECT_EQ(shown(kEnvRelease), "2.000|s");
    host.setParameter(kCrossSwitch, 1.0f);
    EXPECT_EQ(shown(kCrossSwitch), "on|");
}

// Whatever a display shows, typed back (with its unit or without), gives the
// same display: random settings of every named parameter, synced and free.
TEST_F(HostView, TypedDisplaysReadBackToTheSameDisplay) {
    std::mt19937 random(9);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    int checked = 0;
    for (int round = 0; round < 40; ++round) {
        host.setParameter(kDelaySync, static_cast<float>(random() % kSyncDivisionCount));
        host.setParameter(kLfo1Sync, static_cast<float>(random() % kSyncDivisionCount));
        host.setParameter(kFilterType, static_cast<float>(random() % kFilterTypeCount) / 10.0f);
        for (int index = 0; index < kCount; ++index) {
            const Parameter& p = kParameters[static_cast<std::size_t>(index)];
            if (p.hostName[0] == '\0' || index == kDelaySync || index == kLfo1Sync || index == kFilterType) {
                continue;
            }
            if (p.kind == Kind::knob || p.kind == Kind::toggle) {
                host.setParameter(index,
                                  p.kind == Kind::toggle ? static_cast<float>(random() % 2) : unit(random));
            }
            const std::string value = host.parameterDisplay(index);
            const std::string label = host.parameterLabel(index);
            for (const std::string& text : {value, label.empty() ? value : value + " " + label}) {
                ASSERT_TRUE(typed(index, text)) << p.hostName << ": \"" << text << "\"";
                // A depth a hair below zero shows as "-0.00" and reads back as zero itself.
                const std::string again = host.parameterDisplay(index);
                EXPECT_TRUE(again == value || (value == "-0.00" && again == "0.00"))
                    << p.hostName << ": \"" << text << "\" shows \"" << again << "\"";
                ++checked;
            }
        }
    }
    EXPECT_GT(checked, 2000);
}

TEST_F(HostView, TypedTextInOtherUnitsAndWords) {
    EXPECT_TRUE(typed(kEnvAttack, "0.125 s"));
    EXPECT_EQ(shown(kEnvAttack), "125.00|ms");
    EXPECT_TRUE(typed(kCutoff, "2.75 kHz"));
    EXPECT_EQ(shown(kCutoff), "2750.00|Hz");
    EXPECT_TRUE(typed(kLfo2Shape, "Saw Up"));
    EXPECT_EQ(host.getParameter(kLfo2Shape), 2.0f);
    EXPECT_TRUE(typed(kLfo2Sync, "1/16 T"));
    EXPECT_EQ(host.getParameter(kLfo2Sync), 11.0f);
    EXPECT_TRUE(typed(kDelay, "1500 ms")); // beyond its range: held to it
    EXPECT_EQ(host.getParameter(kDelay), 1.0f);
    const float before = host.getParameter(kMix);
    for (const char* nonsense : {"", "loud", "3 furlongs", "nan"}) {
        EXPECT_FALSE(typed(kMix, nonsense)) << nonsense;
    }
    EXPECT_FALSE(typed(0, "0.5")); // an index without a name takes no text
    EXPECT_EQ(host.getParameter(kMix), before);
    EXPECT_EQ(host.dispatch(vst2::effString2Parameter, kMix, 0, nullptr), 1); // asks only
}

TEST_F(HostView, ProgramNamesByIndex) {
    char name[24] = {};
    for (int program = 0; program < 32; ++program) {
        ASSERT_EQ(host.dispatch(vst2::effGetProgramNameIndexed, program, -1, name), 1) << program;
        EXPECT_GT(std::string(name).size(), 0u) << program;
    }
    EXPECT_EQ(host.dispatch(vst2::effGetProgramNameIndexed, 0, -1, name), 1);
    EXPECT_STREQ(name, "Default");
    EXPECT_EQ(host.dispatch(vst2::effGetProgramNameIndexed, 32, -1, name), 0);
    EXPECT_EQ(host.dispatch(vst2::effGetProgramNameIndexed, -1, -1, name), 0);
}

// The level (dBFS) of the loudest sample from `from` on.
double peakAfter(const std::vector<float>& x, std::size_t from) {
    float peak = 0.0f;
    for (std::size_t i = from; i < x.size(); ++i) {
        peak = std::max(peak, std::fabs(x[i]));
    }
    return 20.0 * std::log10(peak + 1e-30);
}

// The tail a host is told covers what is heard: after it, the echoes of a
// full-scale burst are below -60 dBFS.
TEST_F(HostView, TheReportedTailCoversTheEchoes) {
    host.setParameter(kFeedback, 0.6f);
    host.setParameter(kDelay, 0.2f);
    host.setParameter(kFilterType, 0.4f); // the all-pass: a loop gain of "Feedback" itself
    host.setParameter(kMix, 1.0f);
    const auto tail = static_cast<std::size_t>(host.dispatch(vst2::effGetTailSize));
    EXPECT_GT(tail, 44100u); // -60 dB takes about 14 trips of 0.2 s
    std::vector<float> in(tail + 44100), outL(in.size()), outR(in.size());
    for (std::size_t i = 0; i < 220; ++i) { // 5 ms of 1 kHz
        in[i] =
            static_cast<float>(std::sin(2.0 * 3.14159265358979 * 1000.0 * static_cast<double>(i) / 44100.0));
    }
    for (std::size_t start = 0; start < in.size(); start += 512) {
        const auto n = static_cast<vst2::int32>(std::min<std::size_t>(512, in.size() - start));
        host.processReplacing(in.data() + start, in.data() + start, outL.data() + start, outR.data() + start,
                              n);
    }
    EXPECT_GT(peakAfter(outL, 8820), -40.0); // the first echo, 0.2 s on, is there to be covered
    EXPECT_LT(peakAfter(outL, tail), -60.0);
}

// The soft bypass: a short crossfade to the dry input and back, with the
// chain running on meanwhile, so that afterwards the output is what it would
// have been without the bypass.
TEST_F(HostView, TheSoftBypassFadesToTheDryInputAndBack) {
    vhost::PluginHost reference;
    ASSERT_TRUE(reference.load(VORNHALT_MODULE_PATH));
    reference.open(44100.0, 512);
    EXPECT_EQ(host.dispatch(vst2::effSetBypass, 0, 0), 1);
    const std::size_t length = 44100;
    std::vector<float> in(length), out(length), right(length), expected(length), expectedRight(length);
    for (std::size_t i = 0; i < length; ++i) {
        in[i] = static_cast<float>(0.5 * std::sin(0.02 * static_cast<double>(i)));
    }
    auto run = [&](vhost::PluginHost& h, std::size_t from, std::size_t to, std::vector<float>& l,
                   std::vector<float>& r) {
        h.processReplacing(in.data() + from, in.data() + from, l.data() + from, r.data() + from,
                           static_cast<vst2::int32>(to - from));
    };
    // The same host blocks for both: the control step's grouping restarts with every call.
    run(reference, 0, 4410, expected, expectedRight);
    run(reference, 4410, 22050, expected, expectedRight);
    run(reference, 22050, length, expected, expectedRight);
    run(host, 0, 4410, out, right);
    EXPECT_EQ(host.dispatch(vst2::effSetBypass, 0, 1), 1);
    run(host, 4410, 22050, out, right);
    EXPECT_EQ(host.dispatch(vst2::effSetBypass, 0, 0), 1);
    run(host, 22050, length, out, right);

    double largestStep = 0.0;
    for (std::size_t i = 1; i < length; ++i) {
        largestStep = std::max(largestStep, std::fabs(static_cast<double>(out[i]) - out[i - 1]));
    }
    EXPECT_LT(largestStep, 0.05) << "a click"; // the signals themselves move at most 0.01 a sample
    for (std::size_t i = 4410 + 441; i < 22050; ++i) {
        ASSERT_EQ(out[i], in[i]) << i; // fully bypassed after 10 ms
    }
    for (std::size_t i = 22050 + 441; i < length; ++i) {
        ASSERT_EQ(out[i], expected[i]) << i; // the engine kept running
    }
}

} // namespace
