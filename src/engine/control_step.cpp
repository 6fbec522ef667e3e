#include <algorithm>
#include <cmath>

#include "engine/engine.h"

namespace {

double clampTo(double v, double lo, double hi) {
    if (v <= lo) {
        return lo;
    }
    if (v >= hi) {
        return hi;
    }
    return v;
}

} // namespace

// Runs once at the start of every group of 8 samples: ticks the LFOs, reads
// the envelope, and hands every modulated target to its components.
void Engine::controlStep() {
    using namespace param;
    // A design a parameter change could not make at once (another thread was
    // designing) is made here, before the retune to the modulated cutoff, as
    // the change would have made it.
    if (feedbackDesignPending()) {
        serveFeedbackDesign();
    }
    const double lfoValue1 = lfo1.tick();
    const double lfoValue2 = lfo2.tick();
    const double env = std::sqrt(envelope.lastOutput);

    auto route = [this](RouteSource source, RouteTarget target) {
        return static_cast<double>(routeAmount[routeIndex(source, target) - kFirstRoute]);
    };
    // Channel 2 may see either LFO inverted ("Stereo").
    const double l1[2] = {lfoValue1, stereoSign1 * lfoValue1};
    const double l2[2] = {lfoValue2, stereoSign2 * lfoValue2};

    // The A warp is shared by both channels and follows channel 1's LFO values.
    double a = normalized(kAWarp) + env * route(kSourceEnvelope, kTargetAWarp) +
               l2[0] * route(kSourceLfo2, kTargetAWarp) + l1[0] * route(kSourceLfo1, kTargetAWarp);
    a = clampTo(a, 0.0, 1.0);
    analysisWarp = 0.999 * std::sqrt(a);

    const double aResonance = 0.999 * std::sqrt(static_cast<double>(normalized(kARes))) + 0.001;

    const bool paired = pairedLattices;
    double sWarps[2] = {};
    double sResonances[2] = {};
    for (int c = 0; c < 2; ++c) {
        double s = normalized(kSWarp) + env * route(kSourceEnvelope, kTargetSWarp) +
                   l2[c] * route(kSourceLfo2, kTargetSWarp) + l1[c] * route(kSourceLfo1, kTargetSWarp);
        const double sWarp = 0.999 * std::sqrt(clampTo(s, 0.0, 1.0));

        double q = normalized(kSRes) + l2[c] * route(kSourceLfo2, kTargetSRes) +
                   l1[c] * route(kSourceLfo1, kTargetSRes);
        const double sResonance = 0.999 * std::sqrt(clampTo(q, 0.0, 1.0)) + 0.001;

        double d = normalized(kDecimation) + env * route(kSourceEnvelope, kTargetDecimation) +
                   l2[c] * route(kSourceLfo2, kTargetDecimation) +
                   l1[c] * route(kSourceLfo1, kTargetDecimation);
        decimators[c].setPeriod(kLongestHold * clampTo(d, 0.0, 1.0));

        aSections[c].updateCoefficients(analysisWarp, aResonance);
        if (paired) {
            sWarps[c] = sWarp;
            sResonances[c] = sResonance;
        } else {
            sSections[c].updateCoefficients(sWarp, sResonance);
        }

        double k = normalized(kCutoff) + env * route(kSourceEnvelope, kTargetCutoff) +
                   l2[c] * route(kSourceLfo2, kTargetCutoff) + l1[c] * route(kSourceLfo1, kTargetCutoff);
        const double highest = kHighestCutoff;
        double f = k * k * k * highest;
        f = std::min(f, highest);
        f = std::max(f, kLowestCutoff);
        Biquad& filter = feedbackFilters[c];
        if (f > kLowestRetune && f < kRetuneBand * filter.sampleRate) {
            // Redesigned only when the frequency moved (the same design gives the same
            // coefficients), and never waiting for a design another thread is writing.
            filter.retune(static_cast<float>(f));
        }

        double u = (normalized(kBufferRate) - 0.5) + env * route(kSourceEnvelope, kTargetBufferRate) +
                   l2[c] * route(kSourceLfo2, kTargetBufferRate) +
                   l1[c] * route(kSourceLfo1, kTargetBufferRate);
        if (u > 0.0) {
            u *= 2.0;
        }
        double rate = clampTo(1.0 + u, 0.5, 2.0);
        const double window = bufferRateStages[c].window;
        rate = clampTo(rate, -0.9 * window, 0.9 * window);
        bufferRateStages[c].rate = static_cast<float>(rate);
    }

    if (paired) {
        // Runs with the next sample's lattice pass.
        latticeChain.updateSynthesisCoefficients(sWarps[0], sResonances[0], sWarps[1], sResonances[1]);
    }
}
