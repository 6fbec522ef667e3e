// The host library driving a real third-party VST 2 effect, the 3-band equaliser of the DPF plug-in
// collection (Debian package dpf-plugins-vst, which scripts/install-deps installs). It is looked up
// in the folders Linux hosts search; without it these tests fail, since they are the proof that
// the library hosts plug-ins it did not build.
//
// The equaliser prints an assertion message on the effMainsChanged 0 that comes before its first
// resume; the host sends it because Linux hosts do, and the plug-in carries on unharmed.

#include "host/plugin_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

using vhost::PluginHost;

constexpr const char* kPeerFile = "3BandEQ-vst.so";
constexpr const char* kPeerSynthFile = "Kars-vst.so"; // a small string synthesiser of the same collection
constexpr int kMasterParameter = 3;                   // the equaliser's output gain, in dB

bool isFile(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// VST_PATH first (a colon-separated list, as Linux hosts read it), then the usual folders.
std::vector<std::string> vstFolders() {
    std::vector<std::string> folders;
    if (const char* env = std::getenv("VST_PATH")) {
        std::stringstream list(env);
        for (std::string folder; std::getline(list, folder, ':');) {
            if (!folder.empty()) {
                folders.push_back(folder);
            }
        }
    }
    if (const char* home = std::getenv("HOME")) {
        folders.push_back(std::string(home) + "/.vst");
    }
    for (const char* folder :
         {"/usr/local/lib/vst", "/usr/lib/vst", "/usr/lib64/vst", "/usr/lib/x86_64-linux-gnu/vst"}) {
        folders.emplace_back(folder);
    }
    return folders;
}

std::string findPeer(const char* file) {
    for (const std::string& folder : vstFolders()) {
        const std::string path = folder + "/" + file;
        if (isFile(path)) {
            return path;
        }
    }
    return {};
}

class PeerPlugin : public ::testing::Test {
protected:
    void SetUp() override { path_ = locate(kPeerFile); }

    static std::string locate(const char* file) {
        std::string path = findPeer(file);
        EXPECT_FALSE(path.empty()) << "no peer VST 2 plug-in: " << file
                                   << " is in none of VST_PATH, ~/.vst, /usr/local/lib/vst, /usr/lib/vst, "
                                      "/usr/lib64/vst, /usr/lib/x86_64-linux-gnu/vst; install the Debian "
                                      "package dpf-plugins-vst (scripts/install-deps does)";
        return path;
    }

    void load(PluginHost& host) {
        ASSERT_FALSE(path_.empty());
        ASSERT_TRUE(host.load(path_)) << host.error();
        host.open(kRate, kBlock);
    }

    // Renders `blocks` blocks of a 1 kHz sine (amplitude 0.5) and returns the RMS of the last block
    // of each output channel; every output sample must be finite.
    std::pair<double, double> renderSine(PluginHost& host, int blocks) {
        std::vector<float> inL(kBlock), inR(kBlock), outL(kBlock), outR(kBlock);
        double sumL = 0.0, sumR = 0.0;
        for (int b = 0; b < blocks; ++b) {
            for (int i = 0; i < kBlock; ++i) {
                const double phase = 2.0 * std::numbers::pi * 1000.0 * (b * kBlock + i) / kRate;
                inL[static_cast<std::size_t>(i)] = static_cast<float>(0.5 * std::sin(phase));
                inR[static_cast<std::size_t>(i)] = static_cast<float>(0.5 * std::cos(phase));
            }
            host.processReplacing(inL.data(), inR.data(), outL.data(), outR.data(), kBlock);
            sumL = sumR = 0.0;
            for (int i = 0; i < kBlock; ++i) {
                const float l = outL[static_cast<std::size_t>(i)];
                const float r = outR[static_cast<std::size_t>(i)];
                EXPECT_TRUE(std::isfinite(l) && std::isfinite(r)) << "block " << b << " sample " << i;
                sumL += static_cast<double>(l) * l;
                sumR += static_cast<double>(r) * r;
            }
        }
        return {std::sqrt(sumL / kBlock), std::sqrt(sumR / kBlock)};
    }

    static constexpr double kRate = 48000.0;
    static constexpr int kBlock = 480;
    static constexpr double kInputRms = 0.5 / std::numbers::sqrt2;
    std::string path_;
};

TEST_F(PeerPlugin, LoadsAsAStereoEffect) {
    PluginHost host;
    load(host);
    const vst2::AEffect* e = host.effect();
    EXPECT_EQ(e->magic, vst2::kEffectMagic);
    EXPECT_EQ(e->numInputs, 2);
    EXPECT_EQ(e->numOutputs, 2);
    EXPECT_NE(e->flags & vst2::effFlagsCanReplacing, 0);
    EXPECT_GT(e->numParams, 0);
    EXPECT_FALSE(host.effectName().text.empty());
    EXPECT_FALSE(host.vendorString().text.empty());
    EXPECT_TRUE(host.resumed());
}

TEST_F(PeerPlugin, ParametersHaveNamesAndUnitValues) {
    PluginHost host;
    load(host);
    const int count = host.effect()->numParams;
    for (int i = 0; i < count; ++i) {
        EXPECT_FALSE(host.parameterName(i).empty()) << "parameter " << i;
        EXPECT_FALSE(host.parameterDisplay(i).empty()) << "parameter " << i;
        const float value = host.getParameter(i);
        EXPECT_GE(value, 0.0f) << host.parameterName(i);
        EXPECT_LE(value, 1.0f) << host.parameterName(i);
    }
}

TEST_F(PeerPlugin, ParameterSetIsReadBackAndShown) {
    PluginHost host;
    load(host);
    const std::string before = host.parameterDisplay(kMasterParameter);
    host.setParameter(kMasterParameter, 0.25f);
    EXPECT_NEAR(host.getParameter(kMasterParameter), 0.25f, 1e-5f);
    EXPECT_NE(host.parameterDisplay(kMasterParameter), before);
}

TEST_F(PeerPlugin, SineComesThroughAndFollowsTheOutputGain) {
    PluginHost host;
    load(host);
    const auto [flatL, flatR] = renderSine(host, 10);
    // All bands at their neutral setting: the level is kept within a decibel or so.
    EXPECT_NEAR(flatL / kInputRms, 1.0, 0.15);
    EXPECT_NEAR(flatR / kInputRms, 1.0, 0.15);

    // The lowest output gain, whose value in dB the plug-in shows: the measured level must match it.
    host.setParameter(kMasterParameter, 0.0f);
    const double shownDb = std::atof(host.parameterDisplay(kMasterParameter).c_str());
    ASSERT_LT(shownDb, -6.0) << host.parameterDisplay(kMasterParameter);
    const auto [quietL, quietR] = renderSine(host, 10);
    EXPECT_GT(quietL, 0.0);
    EXPECT_NEAR(20.0 * std::log10(quietL / flatL), shownDb, 1.0);
    EXPECT_NEAR(20.0 * std::log10(quietR / flatR), shownDb, 1.0);
}

TEST_F(PeerPlugin, TwoInstancesKeepTheirOwnState) {
    PluginHost a, b;
    load(a);
    load(b);
    EXPECT_NE(a.effect(), b.effect());
    a.setParameter(kMasterParameter, 0.0f);
    EXPECT_NEAR(b.getParameter(kMasterParameter), 0.5f, 0.25f);
    const double quiet = renderSine(a, 6).first;
    const double loud = renderSine(b, 6).first;
    EXPECT_GT(loud, 4.0 * quiet);

    // One instance gone, the other still runs from the same shared object.
    a.unload();
    EXPECT_NEAR(renderSine(b, 2).first / kInputRms, 1.0, 0.15);
}

// Several MIDI events in one record, each at its own frame: the synthesiser is silent until the first
// note's frame, which shows that the events record and its delta frames are laid out as it reads them.
TEST_F(PeerPlugin, SynthStartsAtTheFrameOfTheFirstNote) {
    const std::string synth = locate(kPeerSynthFile);
    ASSERT_FALSE(synth.empty());
    PluginHost host;
    ASSERT_TRUE(host.load(synth)) << host.error();
    host.open(kRate, kBlock);
    std::vector<float> silence(kBlock, 0.0f), outL(kBlock, 1.0f), outR(kBlock, 1.0f);
    host.processReplacing(silence.data(), silence.data(), outL.data(), outR.data(), kBlock);
    EXPECT_EQ(*std::max_element(outL.begin(), outL.end()), 0.0f);

    const std::vector<vhost::MidiMessage> notes = {
        {120, {0x90, 67, 100}}, {300, {0x90, 60, 100}}, {400, {0x80, 67, 0}}};
    host.processEvents(notes);
    host.processReplacing(silence.data(), silence.data(), outL.data(), outR.data(), kBlock);
    const auto first = std::find_if(outL.begin(), outL.end(), [](float v) { return v != 0.0f; });
    ASSERT_NE(first, outL.end()) << "no sound after three note events";
    EXPECT_EQ(first - outL.begin(), 120);
}

} // namespace
