// The whole chain, golden: a few settings rendered through the built module as
// a host runs it (the demo's input, host blocks of 512, a tempo of 120 BPM),
// each reduced to a hash of every output sample and the RMS of each half
// second. A change of any output bit fails here; the RMS columns show where
// and by how much, so an intended change can be reviewed as a diff of
// whole_chain.txt. To rewrite the file after an intended change:
//   VORNHALT_REGENERATE_GOLDEN=1 build/tests/golden/golden_tests

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "common/parameter_table.h"
#include "demo/demo_signal.h"
#include "host/plugin_host.h"

namespace {

using namespace param;

constexpr int kBlock = 512;
constexpr double kSeconds = 4.0;
constexpr double kWindowSeconds = 0.5;

struct Setting {
    const char* name;
    std::vector<std::pair<int, float>> values;
};

// No random LFO shape: those draw their tables from the clock.
const Setting kSettings[] = {
    {"factory", {}},
    {"worst-case", {{kStages, 1.0f},     {kBlockSize, 0.0738f},
                    {35, 1.0f},          {36, 0.0f},
                    {37, 1.0f},          {38, 0.0f},
                    {39, 1.0f},          {40, 0.0f},
                    {41, 1.0f},          {42, 0.0f},
                    {43, 1.0f},          {44, 0.0f},
                    {45, 1.0f},          {46, 0.0f},
                    {47, 1.0f},          {48, 0.0f},
                    {49, 1.0f},          {50, 0.0f},
                    {51, 1.0f},          {52, 0.0f},
                    {kLfo1Shape, 0.0f},  {kLfo2Shape, 5.0f},
                    {kLfo1Freq, 0.5f},   {kLfo2Freq, 0.3f},
                    {kFeedback, 0.9f},   {kDelay, 0.25f},
                    {kSaturation, 0.7f}, {kDecimation, 0.3f},
                    {kSmoothing, 0.5f},  {kMix, 1.0f}}},
    // A synced delay with its low-pass swept by a synced LFO, and the envelope on the warps.
    {"synced-delay-sweep",
     {{kDelay, 0.3f},
      {kDelaySync, 13.0f},
      {kFeedback, 0.7f},
      {kFilterType, 0.0f},
      {kCutoff, 0.55f},
      {kResonance, 0.35f},
      {kLfo2Freq, 0.112f},
      {kLfo2Sync, 2.0f},
      {52, 0.75f},
      {39, 0.8f},
      {35, 0.3f},
      {kEnvAttack, 0.2f},
      {kEnvRelease, 0.4f},
      {kMix, 0.7f}}},
    // Free LFOs on the warps, the buffer rate and the decimation, inverted on the right.
    {"free-lfos",
     {{kSWarp, 0.7f},
      {kLfo1Shape, 1.0f},
      {kLfo1Freq, 0.35f},
      {kLfo1Stereo, 1.0f},
      {45, 1.0f},
      {44, 0.8f},
      {kLfo2Shape, 2.0f},
      {kLfo2Freq, 0.16f},
      {kLfo2Stereo, 1.0f},
      {47, 0.0f},
      {49, 0.9f},
      {kBufferRate, 0.7f},
      {kSmoothing, 0.3f},
      {kMix, 0.8f},
      {kOut, 0.9f}}},
};

struct Reduced {
    std::uint64_t hash = 0;
    std::vector<double> rmsDb;
};

// FNV-1a over the bytes of every output sample, left then right per frame.
std::uint64_t hashSamples(const std::vector<float>& left, const std::vector<float>& right) {
    std::uint64_t h = 0xcbf29ce484222325ull;
    auto add = [&h](float sample) {
        unsigned char bytes[sizeof(float)];
        std::memcpy(bytes, &sample, sizeof(float));
        for (unsigned char b : bytes) {
            h = (h ^ b) * 0x100000001b3ull;
        }
    };
    for (std::size_t i = 0; i < left.size(); ++i) {
        add(left[i]);
        add(right[i]);
    }
    return h;
}

Reduced render(const Setting& setting, int sampleRate) {
    vdemo::DemoSettings demo;
    demo.sampleRate = sampleRate;
    demo.seconds = kSeconds;
    const std::vector<float> input = vdemo::makeDemoInput(demo);
    const std::size_t frames = input.size() / 2;

    vhost::PluginHost host;
    EXPECT_TRUE(host.load(VORNHALT_MODULE_PATH)) << host.error();
    host.open(sampleRate, kBlock);
    for (const auto& [index, value] : setting.values) {
        host.setParameter(index, value);
    }
    std::vector<float> inL(frames), inR(frames), outL(frames), outR(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        inL[i] = input[2 * i];
        inR[i] = input[2 * i + 1];
    }
    for (std::size_t start = 0; start < frames; start += kBlock) {
        const auto n = static_cast<vst2::int32>(std::min<std::size_t>(kBlock, frames - start));
        host.processReplacing(inL.data() + start, inR.data() + start, outL.data() + start,
                              outR.data() + start, n);
    }

    Reduced reduced;
    reduced.hash = hashSamples(outL, outR);
    const auto window = static_cast<std::size_t>(kWindowSeconds * sampleRate);
    for (std::size_t start = 0; start + window <= frames; start += window) {
        double sum = 0.0;
        for (std::size_t i = start; i < start + window; ++i) {
            sum += static_cast<double>(outL[i]) * outL[i] + static_cast<double>(outR[i]) * outR[i];
        }
        reduced.rmsDb.push_back(10.0 * std::log10(sum / (2.0 * static_cast<double>(window)) + 1e-30));
    }
    return reduced;
}

std::string lineOf(const std::string& key, const Reduced& r) {
    std::ostringstream line;
    char hash[24];
    std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(r.hash));
    line << key << ' ' << hash;
    for (double db : r.rmsDb) {
        char text[16];
        std::snprintf(text, sizeof text, " %.2f", db);
        line << text;
    }
    return line.str();
}

std::map<std::string, std::string> readGolden() {
    std::map<std::string, std::string> lines;
    std::ifstream in(GOLDEN_FILE);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        lines[line.substr(0, line.find(' ', line.find(' ') + 1))] = line;
    }
    return lines;
}

// The rates the golden holds, and the settings at each.
const int kRates[] = {44100, 48000, 96000};

TEST(WholeChainGolden, EverySettingRendersAsRecorded) {
    std::vector<std::string> computed;
    for (int rate : kRates) {
        for (const Setting& setting : kSettings) {
            computed.push_back(
                lineOf(std::string(setting.name) + " " + std::to_string(rate), render(setting, rate)));
        }
    }
    const char* regenerate = std::getenv("VORNHALT_REGENERATE_GOLDEN");
    if (regenerate != nullptr && *regenerate != '\0' && *regenerate != '0') {
        std::ofstream out(GOLDEN_FILE);
        out << "# Whole-chain golden: setting, host rate, hash of every output sample, RMS (dB) of each\n"
               "# half second. Written by tests/golden/golden_test.cpp; see there how to regenerate.\n";
        for (const std::string& line : computed) {
            out << line << '\n';
        }
        GTEST_SKIP() << "rewrote " << GOLDEN_FILE;
    }
    const auto golden = readGolden();
    for (const std::string& line : computed) {
        const std::string key = line.substr(0, line.find(' ', line.find(' ') + 1));
        auto it = golden.find(key);
        ASSERT_NE(it, golden.end()) << "no golden line for " << key;
        EXPECT_EQ(line, it->second);
    }
}

} // namespace
