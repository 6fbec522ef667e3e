#pragma once

#include <cmath>

#include "dsp/signal_component.h"

// One-pole peak follower with separate retention coefficients for rising and
// falling input:  a = |x|;  e = a + (e - a) * c,  c = attackCoefficient if a > e,
// else releaseCoefficient. The coefficient law is stated through a reference level L:
// attack (1 - L)^(2 / (T fs)) and release L^(4 / (T fs)), so after T seconds a rising
// step has kept (1 - L)^2 of its distance. The envelope is the last output.
class EnvelopeFollower final : public SignalComponent {
public:
    static constexpr double kSilence = 1e-30; // envelopes below this are flushed to 0

    EnvelopeFollower() = default;

    // [audio thread] One step on |input|; returns the envelope.
    double process(double input) override;
    // [audio thread] The envelope restarts at resetValue.
    void reset() override;

    // [ui thread] Reference level L and attack time T (s); T <= 0 makes the attack instant.
    void setAttack(double referenceLevel, double seconds);
    // [ui thread] setAttack with L = 0.5: after T seconds a rise has covered 3/4 of the step.
    void setAttackTime(double seconds);
    // [ui thread] Release time with L = 0.5: after T seconds a fall keeps 1/16 of the step.
    void setReleaseTime(double seconds);

    // One detector step on a non-negative level, without the denormal flush; the
    // limiter's detector runs on power with a floor, so it never nears 1e-30.
    double follow(double input) {
        const double c = input > lastOutput ? attackCoefficient : releaseCoefficient;
        const double next = input + (lastOutput - input) * c;
        if (std::isfinite(next)) { // a NaN or infinite input leaves the envelope as it was
            lastOutput = next;
        }
        return lastOutput;
    }

    double level = 0.0;              // reference level L of the coefficient law
    double floor = 0.0;              // minimum detector input (the limiter's detector only)
    double attackTime = 0.0;         // seconds, as last set
    double releaseTime = 0.0;        // seconds, as last set
    double resetValue = 0.0;         // envelope after reset
    double attackCoefficient = 1.0;  // retention per sample while rising
    double releaseCoefficient = 1.0; // retention per sample while falling
};
