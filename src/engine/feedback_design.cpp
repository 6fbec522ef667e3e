// Both feedback filters share one design from "Filter Type", "Cutoff" and
// "Resonance". The control step retunes them to the modulated cutoff every 8
// samples; a parameter change redesigns them whole. Hosts change parameters
// from the UI thread and from the audio thread alike, and neither may wait for
// the other: a design that finds a filter busy stays requested, and the next
// control step serves it.

#include <algorithm>

#include "engine/engine.h"

void Engine::requestFeedbackDesign() {
    // Release: whoever sees this request also sees the parameter values written before it.
    feedbackDesignRequests.fetch_add(1, std::memory_order_release);
    serveFeedbackDesign();
}

FilterDesign Engine::feedbackDesignOfParameters(int& type) const {
    using namespace param;
    // Types 9 and 10, and a negative type, have no design.
    type = feedbackType(mapped(kFilterType));
    FilterDesign design{feedbackCutoffHz(mapped(kCutoff)), 1.0f, 1.0f, 1.0f, false, true};
    const float r = mapped(kResonance);
    if (type < kFirstGainType) {
        design.q = feedbackQ(r);
    } else {
        design.gain = feedbackGain(r);
    }
    return design;
}

void Engine::serveFeedbackDesign() {
    using namespace param;
    if (servingFeedbackDesign.test_and_set(std::memory_order_acquire)) {
        return; // another thread serves; whatever it misses stays requested
    }
    const std::uint32_t requested = feedbackDesignRequests.load(std::memory_order_acquire);
    if (requested != feedbackDesignsServed.load(std::memory_order_relaxed)) {
        // Without a design (type -1) the filters keep their coefficients.
        int type = -1;
        FilterDesign design = feedbackDesignOfParameters(type);
        // Below 44.1 kHz the highest cutoff keeps its place in the band, short of
        // the Nyquist frequency that a design cannot pass.
        const float fs = workingSampleRate;
        if (fs < kHighestCutoffRate) {
            design.frequency = std::min(design.frequency, kHighestCutoff * (fs / kHighestCutoffRate));
        }
        bool whole = true;
        for (Biquad& filter : feedbackFilters) {
            whole = filter.tryDesign(type, design) != Biquad::DesignOutcome::busy && whole;
        }
        if (whole) {
            feedbackDesignsServed.store(requested, std::memory_order_relaxed);
        }
    }
    servingFeedbackDesign.clear(std::memory_order_release);
}
