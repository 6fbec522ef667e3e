#pragma once

#include <cstdint>

#include "dsp/crossfade_delay.h"
#include "dsp/signal_component.h"

// Feedback delay with four-point (Catmull-Rom) interpolation.
//   buffer[w] = x + dither;  y = catmullRom(x[n-D-3], x[n-D-2], x[n-D-1], x[n-D], g)
// interpolating from x[n-D-2] (g = 0) towards x[n-D-1] (g = 1), so the delay is
// D + 2 - g samples, which is sampleRate * t + 1 for a request of t seconds.
// dither alternates +-1e-30 so silence never decays into denormals; tap0..tap3
// are the read slots (tap0 the newest) and advance with writeIndex. The
// interpolation itself runs in single precision.
class CubicDelay : public SignalComponent {
public:
    CubicDelay() = default;

    // [audio thread]
    double process(double input) override;
    // [audio thread] Clears the ring and the last output; indices and
    // settings are kept.
    void reset() override;
    // [any thread]
    virtual float getDelaySeconds() const { return delaySeconds; }
    // [any thread]
    virtual int32_t getDelaySamples() const { return delaySamples; }

    // [audio thread] Sets the delay to sampleRate * seconds + 1 samples and
    // returns the delay in seconds now in force. Beyond the ring the delay
    // stops at 176399 samples; a request of zero or less (or NaN) keeps the
    // previous delay. A tap jump of 4 to 7 samples blends the old read
    // neighbourhood into the new one to soften the step.
    float setDelaySeconds(float seconds);

    float dither = 1e-30f;
    float delaySeconds = 0.0f;
    float fraction = 0.0f;
    int32_t delaySamples = 0;
    static constexpr int32_t kMaxDelaySamples = kDelayCapacity - 4;

    int32_t size = kDelayCapacity;
    int32_t writeIndex = 0;
    int32_t tap0 = 1;
    int32_t tap1 = 1;
    int32_t tap2 = 1;
    int32_t tap3 = 1;
    double buffer[kDelayCapacity] = {};
};

static_assert(sizeof(CubicDelay::buffer) == sizeof(double) * kDelayCapacity);
