#include "dsp/cubic_delay.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <new>

#include "dsp/rate_sized_buffer.h"

CubicDelay::CubicDelay() : ring(new double[kDelayCapacity]()) {
    buffer = ring.get();
    static_assert(kDelayCapacity == static_cast<int32_t>(kCapacitySeconds * 44100.0));
}

int32_t CubicDelay::ringSizeFor(double rate) {
    return slotsForSeconds(kCapacitySeconds, rate, kLargestRingRate, kSmallestRing);
}

void CubicDelay::setSampleRate(double rate) {
    SignalComponent::setSampleRate(rate);
    if (!resizeZeroed(ring, size, ringSizeFor(rate))) {
        return;
    }
    buffer = ring.get();
    writeIndex = 0;
    delaySamples = std::min(delaySamples, maxDelaySamples());
    retargetTaps();
}

void CubicDelay::retargetTaps() {
    tap0 = wrapSlot(writeIndex - delaySamples);
    tap1 = wrapSlot(tap0 - 1);
    tap2 = wrapSlot(tap0 - 2);
    tap3 = wrapSlot(tap0 - 3);
}

double CubicDelay::process(double input) {
    buffer[writeIndex] = input + static_cast<double>(dither);

    // The interpolation is deliberately single precision throughout.
    auto sm1 = static_cast<float>(buffer[tap3]);
    auto s0 = static_cast<float>(buffer[tap2]);
    auto s1 = static_cast<float>(buffer[tap1]);
    auto s2 = static_cast<float>(buffer[tap0]);
    float g = fraction;
    float m0 = (s1 - sm1) / 2.0f;
    float m1 = (s2 - s0) / 2.0f;
    float t = s0 - s1;
    float a = m0 + t;
    float b = t + m1 + a;
    float y = s0 + g * (m0 + g * (g * b - (a + b)));
    lastOutput = static_cast<double>(y);

    if (++writeIndex >= size) {
        writeIndex = 0;
    }
    tap3 = tap2;
    tap2 = tap1;
    tap1 = tap0;
    if (++tap0 >= size) {
        tap0 = 0;
    }
    dither = -dither;
    return lastOutput;
}

void CubicDelay::reset() {
    SignalComponent::reset();
    std::fill(buffer, buffer + size, 0.0);
}

float CubicDelay::setDelaySeconds(float seconds) {
    auto b = static_cast<float>(sampleRate * static_cast<double>(seconds) - 1.0);
    float ceiling = std::ceil(b);
    // Decide in float before converting, so a huge request cannot overflow
    // the integer; NaN fails every comparison and is refused like t <= 0.
    if (!(ceiling >= 0.0f)) {
        return delaySeconds;
    }
    int32_t previous = delaySamples;
    const int32_t longest = maxDelaySamples();
    if (ceiling > static_cast<float>(longest)) {
        delaySamples = longest;
        fraction = 0.0f;
        delaySeconds = static_cast<float>(static_cast<double>(longest) / sampleRate);
    } else {
        delaySamples = static_cast<int32_t>(ceiling);
        fraction = ceiling - b;
        delaySeconds = seconds;
    }

    int32_t jump = std::abs(previous - delaySamples);
    double v0 = buffer[tap0];
    double v1 = buffer[tap1];
    double v2 = buffer[tap2];
    double v3 = buffer[tap3];

    retargetTaps();

    if (jump >= 4 && jump < 8) {
        // A middling jump would be a step in the output: fade the old read
        // neighbourhood into the new one, most of the old at the oldest tap.
        buffer[tap0] = static_cast<double>(0.2f) * v0 + static_cast<double>(0.8f) * buffer[tap0];
        buffer[tap1] = static_cast<double>(0.4f) * v1 + static_cast<double>(0.6f) * buffer[tap1];
        buffer[tap2] = static_cast<double>(0.6f) * v2 + static_cast<double>(0.4f) * buffer[tap2];
        buffer[tap3] = static_cast<double>(0.8f) * v3 + static_cast<double>(0.2f) * buffer[tap3];
    }
    return delaySeconds;
}
