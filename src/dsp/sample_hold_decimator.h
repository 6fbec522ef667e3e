#pragma once

#include "dsp/signal_component.h"

// Sample-rate reduction by sample and hold: phase += step; when the phase passes 1 it
// drops its integer part and the input is taken, otherwise the held value droops by
// 2 % per sample. step = 1 / period (period in samples, at least 1). The held value
// is the last output.
class SampleHoldDecimator final : public SignalComponent {
public:
    static constexpr double kDroop = 0.98; // held-value retention per sample

    SampleHoldDecimator() = default;

    // [audio thread]
    double process(double input) override;
    // [audio thread] Held value 0, phase 0.
    void reset() override;
    // [audio thread] Period in samples (the engine passes 64 x the modulated "Decimation");
    // a period of 1 or less gives step 1, which takes every second input.
    virtual void setPeriod(double samples);

    double phase = 0.0; // fractional accumulator
    double step = 1.0;  // phase advance per sample
};
