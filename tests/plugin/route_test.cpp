// The 18 modulation routes, one at a time: a route at full depth must move its
// own destination, the way its sign says and by its share of the source, and
// leave every other destination exactly where a run with all routes at rest
// leaves it. The destinations are read off the components after processing.

#include <cmath>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "support/fake_host.h"

using namespace param;

namespace {

enum Destination { kDestSWarp, kDestSRes, kDestDecimation, kDestBufferRate, kDestAWarp, kDestCutoff, kDests };
enum Source { kEnv, kLfo1, kLfo2 };

constexpr const char* kDestNames[kDests] = {"S warp",      "S resonance", "decimator step",
                                            "buffer rate", "A warp",      "feedback cutoff"};
// The parameter each destination is modulated around.
constexpr int kBaseParameter[kDests] = {kSWarp, kSRes, kDecimation, kBufferRate, kAWarp, kCutoff};
// How far a full-depth route moves the destination's parameter per unit of
// source. Written out here rather than read from the layout header, so that a
// wrong scale there is caught.
constexpr double kScale[kDests] = {0.1, 1.0, 0.5, 0.5, 0.1, 0.5};
// Which way the observed quantity goes when the parameter rises: the decimator
// steps by the inverse of its period.
constexpr double kSense[kDests] = {1.0, 1.0, -1.0, 1.0, 1.0, 1.0};

struct Route {
    int index;
    const char* name;
    Source source;
    Destination destination;
};

constexpr Route kRoutes[] = {
    {35, "Env->S Warp", kEnv, kDestSWarp},
    {36, "Env->S Res", kEnv, kDestSRes}, // stored, but reaches nothing
    {37, "Env->Dec.", kEnv, kDestDecimation},
    {38, "Env->BufRate", kEnv, kDestBufferRate},
    {39, "Env->A Warp", kEnv, kDestAWarp},
    {40, "Env->Fb Cutoff", kEnv, kDestCutoff},
    {41, "LFO 1->S Warp", kLfo1, kDestSWarp},
    {42, "LFO 1->S Res", kLfo1, kDestSRes},
    {43, "LFO 1->Dec.", kLfo1, kDestDecimation},
    {44, "LFO 1->BufRate", kLfo1, kDestBufferRate},
    {45, "LFO 1->A Warp", kLfo1, kDestAWarp},
    {46, "LFO 1->Fb Cutoff", kLfo1, kDestCutoff},
    {47, "LFO 2->S Warp", kLfo2, kDestSWarp},
    {48, "LFO 2->S Res", kLfo2, kDestSRes},
    {49, "LFO 2->Dec.", kLfo2, kDestDecimation},
    {50, "LFO 2->BufRate", kLfo2, kDestBufferRate},
    {51, "LFO 2->A Warp", kLfo2, kDestAWarp},
    {52, "LFO 2->Fb Cutoff", kLfo2, kDestCutoff},
};

// Every source holds its own value throughout, so that a route reading
// another source is caught too: the envelope of a steady square of amplitude
// 0.25, and the LFOs standing still (rate 0) on a triangle, LFO 1 an eighth
// of a cycle in (halfway up to +1), LFO 2 an eighth before the cycle's end
// (halfway up from -1).
constexpr float kLevel = 0.25f;
constexpr std::uint32_t kEighthCycle = (WavetableLfo::kPhaseMask + 1u) / 8u;
constexpr double kSourceValue[] = {0.25, 0.5, -0.5};
// Long enough for the lattices' glides to forget the first control step,
// which runs before the envelope has heard anything.
constexpr int kFrames = 2048;

struct Setting {
    int route = -1; // the route moved off rest, to `routeValue`
    float routeValue = 0.5f;
    int stereoSwitch = -1;     // an LFO "Stereo" switch turned on
    int shiftedParameter = -1; // or, with every route at rest, a parameter moved by `shift`
    double shift = 0.0;
    bool paired = true; // the lattices' paired path or each one's own
};

struct Observed {
    double at[kDests][2];
    double aResonance[2]; // not a destination of any route
    std::vector<float> outL, outR;
};

Observed observe(const Setting& s) {
    auto effect = makeEffect();
    for (int d = 0; d < kDests; ++d) {
        effect->setParameter(kBaseParameter[d], 0.5f);
    }
    effect->setParameter(kEnvAttack, 0.0f); // the envelope takes a rise at once
    for (int shapeIndex : {kLfo1Shape, kLfo2Shape}) {
        effect->setParameter(shapeIndex, static_cast<float>(WavetableLfo::kTriangle));
    }
    effect->setParameter(kLfo1Freq, 0.0f);
    effect->setParameter(kLfo2Freq, 0.0f);
    effect->engine.lfo1.phase = kEighthCycle;
    effect->engine.lfo2.phase = 7u * kEighthCycle;
    if (s.route >= 0) {
        effect->setParameter(s.route, s.routeValue);
    }
    if (s.stereoSwitch >= 0) {
        effect->setParameter(s.stereoSwitch, 1.0f);
    }
    if (s.shiftedParameter >= 0) {
        effect->setParameter(s.shiftedParameter, static_cast<float>(0.5 + s.shift));
    }
    effect->engine.pairedLattices = s.paired;

    StereoBlock block(kFrames);
    for (int i = 0; i < kFrames; ++i) {
        block.inL[i] = block.inR[i] = (i / 50) % 2 ? -kLevel : kLevel;
    }
    for (int start = 0; start < kFrames; start += 512) {
        float* in[2] = {block.inL.data() + start, block.inR.data() + start};
        float* out[2] = {block.outL.data() + start, block.outR.data() + start};
        effect->processReplacing(in, out, 512);
    }

    const Engine& e = effect->engine;
    Observed o;
    for (int c = 0; c < 2; ++c) {
        o.at[kDestSWarp][c] = e.sSections[c].warp;
        o.at[kDestSRes][c] = e.sSections[c].resonance;
        o.at[kDestDecimation][c] = e.decimators[c].step;
        o.at[kDestBufferRate][c] = e.bufferRateStages[c].rate;
        o.at[kDestAWarp][c] = e.aSections[c].warp;
        o.at[kDestCutoff][c] = e.feedbackFilters[c].designRecord.frequency;
        o.aResonance[c] = e.aSections[c].resonance;
    }
    o.outL = std::move(block.outL);
    o.outR = std::move(block.outR);
    return o;
}

std::string where(int d, int c) {
    return std::string(kDestNames[d]) + " of channel " + std::to_string(c + 1);
}

void expectRestElsewhere(const Observed& run, const Observed& rest, int except, const std::string& what) {
    for (int d = 0; d < kDests; ++d) {
        for (int c = 0; c < 2; ++c) {
            if (d != except) {
                EXPECT_EQ(run.at[d][c], rest.at[d][c]) << what << where(d, c) << " moved, not being routed";
            }
        }
    }
    for (int c = 0; c < 2; ++c) {
        EXPECT_EQ(run.aResonance[c], rest.aResonance[c])
            << what << "A resonance of channel " << c + 1 << " moved";
    }
}

} // namespace

TEST(ModulationRoutes, EachMovesItsOwnDestinationAndNothingElse) {
    const auto named = makeEffect();
    for (const Route& route : kRoutes) {
        char name[PluginEffect::kMaxNameCharacters + 1] = {};
        named->getParameterName(route.index, name);
        ASSERT_STREQ(name, route.name) << "the table's index " << route.index << " names another route";
    }

    for (bool paired : {true, false}) {
        const Observed rest = observe({.paired = paired});
        // The run a route should reproduce: its destination's own parameter
        // moved by the route's share of the source.
        std::map<std::pair<int, double>, Observed> shifted;
        auto reference = [&](int d, double shift) -> const Observed& {
            auto [entry, added] = shifted.try_emplace({d, shift});
            if (added) {
                entry->second =
                    observe({.shiftedParameter = kBaseParameter[d], .shift = shift, .paired = paired});
            }
            return entry->second;
        };

        for (const Route& route : kRoutes) {
            const int stereoSwitch = route.source == kLfo1 ? kLfo1Stereo : kLfo2Stereo;
            for (bool stereo : {false, true}) {
                if (stereo && route.source == kEnv) {
                    continue;
                }
                for (double depth : {1.0, -1.0}) {
                    const std::string what = std::string(route.name) +
                                             (depth > 0 ? " at full depth" : " at full negative depth") +
                                             (stereo ? ", Stereo on" : "") +
                                             (paired ? " (paired lattices): " : " (lattices one by one): ");
                    const Observed run = observe({.route = route.index,
                                                  .routeValue = depth > 0 ? 1.0f : 0.0f,
                                                  .stereoSwitch = stereo ? stereoSwitch : -1,
                                                  .paired = paired});
                    if (route.index == kEnvToSRes) {
                        expectRestElsewhere(run, rest, -1, what);
                        EXPECT_TRUE(run.outL == rest.outL && run.outR == rest.outR)
                            << what << "the output changed";
                        continue;
                    }
                    const int d = route.destination;
                    for (int c = 0; c < 2; ++c) {
                        // "Stereo" turns channel 2's LFO upside down; the A warp is
                        // one for both channels and follows channel 1.
                        const bool inverted = stereo && c == 1 && d != kDestAWarp;
                        const double moved = depth * kSourceValue[route.source] * (inverted ? -1.0 : 1.0);
                        const double expected = reference(d, moved * kScale[d]).at[d][c];
                        EXPECT_GT(kSense[d] * moved * (run.at[d][c] - rest.at[d][c]), 0.0)
                            << what << where(d, c) << " did not move the route's way: " << run.at[d][c]
                            << " against " << rest.at[d][c] << " at rest";
                        EXPECT_NEAR(run.at[d][c], expected, 1e-6 * std::fabs(expected))
                            << what << where(d, c) << " moved by another amount than the route's scale gives";
                    }
                    expectRestElsewhere(run, rest, d, what);
                }
            }
        }
    }
}
