#include "dsp/sample_hold_decimator.h"

#include <cmath>

double SampleHoldDecimator::process(double input) {
    phase = phase + step;
    if (phase > 1.0) {
        phase = phase - std::floor(phase);
        lastOutput = input;
    } else {
        lastOutput = lastOutput * kDroop;
    }
    return lastOutput;
}

void SampleHoldDecimator::reset() {
    lastOutput = 0.0;
    phase = 0.0;
}

void SampleHoldDecimator::setPeriod(double samples) {
    step = samples > 1.0 ? 1.0 / samples : 1.0;
}
