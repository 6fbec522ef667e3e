#pragma once

#include "dsp/signal_component.h"

// First-order shelf against DC: H(z) = (1 - z1 z^-1) / (1 - p1 z^-1), run as
//   s' = p1 * s + x;  y = s' - z1 * s;  s = s'
// With z1 = 0.999 and p1 = 0.998 (single-precision values) the gain is 0.5 at DC and
// about 1.0005 at half the sample rate. `state` is s.
class DcBlocker final : public SignalComponent {
public:
    static constexpr float kDefaultZero = 0.999f;
    static constexpr float kDefaultPole = 0.998f;

    DcBlocker() : DcBlocker(kDefaultZero, kDefaultPole) {}
    DcBlocker(float zero, float pole) : zeroCoefficient(zero), poleCoefficient(pole) {}

    // [audio thread]
    double process(double input) override;
    // [audio thread] Last output 0, state 0.
    void reset() override;

    double zeroCoefficient;
    double poleCoefficient;
    double state = 0.0;
};
