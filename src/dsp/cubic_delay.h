#pragma once

#include <cstdint>
#include <memory>

#include "dsp/crossfade_delay.h"
#include "dsp/signal_component.h"

// Feedback delay with four-point (Catmull-Rom) interpolation.
//   buffer[w] = x + dither;  y = catmullRom(x[n-D-3], x[n-D-2], x[n-D-1], x[n-D], g)
// interpolating from x[n-D-2] (g = 0) towards x[n-D-1] (g = 1), so the delay is
// D + 2 - g samples, which is sampleRate * t + 1 for a request of t seconds.
// dither alternates +-1e-30 so silence never decays into denormals; tap0..tap3
// are the read slots (tap0 the newest) and advance with writeIndex. The
// interpolation itself runs in single precision. The ring holds four seconds
// at the component's rate (176400 samples at 44.1 kHz).
class CubicDelay final : public SignalComponent {
public:
    static constexpr double kCapacitySeconds = 4.0;
    // Rates above this one get its ring: at 384 kHz, two seconds.
    static constexpr double kLargestRingRate = 192000.0;
    static constexpr int32_t kSmallestRing = 64;

    CubicDelay(); // a ring for 44.1 kHz
    CubicDelay(const CubicDelay&) = delete;
    CubicDelay& operator=(const CubicDelay&) = delete;

    // [ui thread, while processing is suspended; allocates] Stores the rate
    // and sizes the ring to four seconds at it. A ring of a new size starts
    // silent, with the delay in samples kept (shortened to fit); when no
    // memory is left the old ring stays, and with it a shorter longest delay.
    void setSampleRate(double rate) override;
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
    // stops at maxDelaySamples(); a request of zero or less (or NaN) keeps the
    // previous delay. A tap jump of 4 to 7 samples blends the old read
    // neighbourhood into the new one to soften the step.
    float setDelaySeconds(float seconds);

    // The four read taps span D + 3 slots behind the write point; a longer
    // delay would wrap them onto the newest samples (a 4 s request would come
    // out as a 1-sample delay), so the longest delay keeps them all behind it.
    int32_t maxDelaySamples() const { return size - 4; }
    // The ring size for a rate: four seconds, within the bounds above.
    static int32_t ringSizeFor(double rate);

    float dither = 1e-30f;
    float delaySeconds = 0.0f;
    float fraction = 0.0f;
    int32_t delaySamples = 0;

    int32_t size = kDelayCapacity;
    int32_t writeIndex = 0;
    int32_t tap0 = 1;
    int32_t tap1 = 1;
    int32_t tap2 = 1;
    int32_t tap3 = 1;
    double* buffer = nullptr; // `size` slots, owned by `ring`

private:
    void retargetTaps();
    int32_t wrapSlot(int32_t slot) const { return slot < 0 ? slot + size : slot; }

    std::unique_ptr<double[]> ring;
};
