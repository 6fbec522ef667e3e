// How long the feedback delay keeps sounding after the input stops. Each
// round trip through the delay scales the echo by "Feedback" and by the
// feedback filter's gain, at most by its peak; at or above unity the loop
// sustains itself (the limiter then holds it at its ceiling). The chain the
// echoes pass through on every trip can add a few decibels of its own, so the
// count goes 30 dB beyond the -60 dB a tail is heard to.

#include <algorithm>
#include <cmath>

#include "engine/engine.h"

namespace {

constexpr double kTailDepth = 3.16e-5; // -90 dB

// The largest magnitude of a design's response, sampled on a logarithmic
// frequency axis from 20 Hz to the top of the band.
double peakGain(const BiquadCoefficients& c, double fs) {
    constexpr int kPoints = 256;
    constexpr double kPi = 3.14159265358979323846;
    const double lowest = std::log(20.0);
    const double highest = std::log(0.49 * fs);
    double peak = 0.0;
    for (int i = 0; i <= kPoints; ++i) {
        const double f = std::exp(lowest + (highest - lowest) * i / kPoints);
        const double w = 2.0 * kPi * f / fs;
        const double br = c.b[0] + c.b[1] * std::cos(w) + c.b[2] * std::cos(2.0 * w);
        const double bi = -c.b[1] * std::sin(w) - c.b[2] * std::sin(2.0 * w);
        const double ar = c.a[0] + c.a[1] * std::cos(w) + c.a[2] * std::cos(2.0 * w);
        const double ai = -c.a[1] * std::sin(w) - c.a[2] * std::sin(2.0 * w);
        peak = std::max(peak, std::sqrt((br * br + bi * bi) / (ar * ar + ai * ai)));
    }
    return peak;
}

} // namespace

double Engine::tailSeconds() {
    using namespace param;
    const double feedback = normalized(kFeedback);
    if (feedback <= 0.0) {
        return 0.0;
    }
    const double fs = workingSampleRate;
    // The delay as the engine sets it: free, or rounded up to the beat grid.
    double delay = normalized(kDelay);
    const float grid = syncGridValue(stored(kDelaySync));
    if (delay > 0.0 && grid >= 1.0f) {
        delay = syncRound(static_cast<float>(delay), grid);
    }
    // The wet path's own lag on each trip: the buffer-rate window and a sample.
    const double lag =
        static_cast<double>(kWindowSamples * normalized(kBlockSize) / kWindowReferenceRate) + 1.0 / fs;

    // The unmodulated design; modulation moves the cutoff, hardly the peak.
    int type = -1;
    const FilterDesign design = feedbackDesignOfParameters(type);
    BiquadCoefficients designed;
    const double loop = feedback * (designBiquad(type, design, fs, designed) ? peakGain(designed, fs) : 1.0);
    if (!(loop < 1.0)) {
        return kLongestTail;
    }
    const double rounds = std::log(kTailDepth) / std::log(loop);
    return std::min(rounds * (delay + lag) + lag, kLongestTail);
}
