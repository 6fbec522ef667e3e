#pragma once

// The parameter index space shared by the parameter table, the engine and the
// editor: 56 automatable parameters, the tempo-sync division grid and the
// modulation routes. The engine reads the stored values by these indices.

#include <array>
#include <cstdint>

namespace param {

constexpr int kCount = 56;

enum Index : int {
    kUnused0 = 0,
    kBlockSize = 1,
    kStages = 2,
    kSmoothing = 3,
    kAWarp = 4,
    kARes = 5,
    kARotate = 6,
    kUnused7 = 7,
    kUnused8 = 8,
    kSaturation = 9,
    kDecimation = 10,
    kBufferRate = 11,
    kUnused12 = 12,
    kSWarp = 13,
    kSRotate = 14,
    kSRes = 15,
    kDelay = 16,
    kFeedback = 17,
    kFilterType = 18,
    kCutoff = 19,
    kResonance = 20,
    kDelaySync = 21,
    kCrossSwitch = 22,
    kEnvAttack = 23,
    kEnvRelease = 24,
    kLfo1Shape = 25,
    kLfo1Sync = 26,
    kLfo1Freq = 27,
    kUnused28 = 28,
    kLfo1Stereo = 29,
    kLfo2Shape = 30,
    kLfo2Sync = 31,
    kLfo2Freq = 32,
    kUnused33 = 33,
    kLfo2Stereo = 34,
    kFirstRoute = 35,
    kLastRoute = 52,
    kOut = 53,
    kMix = 54,
    kUnused55 = 55,
};

// Modulation routes: three sources, each with six destinations, laid out
// source-major from index 35.
enum RouteSource : int { kSourceEnvelope = 0, kSourceLfo1 = 1, kSourceLfo2 = 2 };
enum RouteTarget : int {
    kTargetSWarp = 0,
    kTargetSRes = 1,
    kTargetDecimation = 2,
    kTargetBufferRate = 3,
    kTargetAWarp = 4,
    kTargetCutoff = 5,
};
constexpr int kRouteTargets = 6;
constexpr int kRouteCount = 18;
constexpr int routeIndex(RouteSource source, RouteTarget target) {
    return kFirstRoute + source * kRouteTargets + target;
}
static_assert(routeIndex(kSourceLfo2, kTargetCutoff) == kLastRoute);
constexpr int kEnvToSRes = routeIndex(kSourceEnvelope, kTargetSRes); // stored, reaches no target

// How far a route at full depth moves its target per unit of source.
constexpr std::array<float, kRouteTargets> kRouteScale = {0.1f, 1.0f, 0.5f, 0.5f, 0.1f, 0.5f};

// Tempo-sync divisions: grid steps per beat; below 1 means free running.
constexpr int kSyncDivisionCount = 15;
constexpr std::array<float, kSyncDivisionCount> kSyncDivisions = {
    0.0f,  0.25f, 1.0f,  2.0f,  4.0f,        8.0f,         16.0f,        32.0f,
    64.0f, 6.0f,  12.0f, 24.0f, 8.0f / 3.0f, 16.0f / 3.0f, 32.0f / 3.0f,
};

// The grid value a Sync parameter selects, or 0 ("off") when its integer part
// does not name a division: a host may write anything into the parameter.
inline float syncGridValue(float storedSyncValue) {
    if (!(storedSyncValue >= 0.0f) || storedSyncValue >= static_cast<float>(kSyncDivisionCount)) {
        return 0.0f;
    }
    return kSyncDivisions[static_cast<int>(storedSyncValue)];
}

// Continuous parameters are defined on 0..1; a host may send anything.
inline float clampUnit(float v) {
    return v <= 0.0f ? 0.0f : (v >= 1.0f ? 1.0f : v);
}

} // namespace param
