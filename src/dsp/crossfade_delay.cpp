#include "dsp/crossfade_delay.h"

#include <cmath>

namespace {

// Linear interpolation at a fractional ring position h in [0, N). The
// distance d is taken from the unwrapped ceiling: once per pass around the
// ring ceil(h) == N, and measuring d after wrapping it to slot 0 would give
// d close to -N, a full-scale click.
double readTap(const double* buffer, double h) {
    double lower = std::floor(h);
    double upper = std::ceil(h);
    double d = upper - h;
    auto a = static_cast<int32_t>(lower);
    auto b = static_cast<int32_t>(upper);
    // A position a hair below 0 can round up to exactly N after the ring
    // was added to it; the lower index needs the same wrap as the upper.
    if (a >= kDelayCapacity) {
        a -= kDelayCapacity;
    }
    if (b >= kDelayCapacity) {
        b -= kDelayCapacity;
    }
    return (1.0 - d) * buffer[b] + d * buffer[a];
}

double wrapPosition(double h) {
    while (h < 0.0) {
        h += kDelayCapacity;
    }
    return h;
}

} // namespace

double CrossfadeDelay::process(double input) {
    buffer[writeIndex] = input;

    float o = offset + (1.0f - rate);
    if (o < 0.0f) {
        o = window;
    } else if (o > window) {
        o = 0.0f;
    } else if (std::isnan(o)) {
        // A NaN rate must not poison the offset: hold the tap where it is.
        o = std::isnan(offset) ? 0.0f : offset;
    }
    offset = o;

    double h1 = wrapPosition(static_cast<double>(writeIndex) - static_cast<double>(o));
    double h2 =
        wrapPosition(static_cast<double>(writeIndex) - static_cast<double>(window) - static_cast<double>(o));
    double tap1 = readTap(buffer, h1);
    double tap2 = readTap(buffer, h2);

    if (++writeIndex >= size) {
        writeIndex = 0;
    }

    double fade = window > 0.0f ? static_cast<double>(o) / static_cast<double>(window) : 1.0;
    lastOutput = fade * tap1 + (1.0 - fade) * tap2;
    return lastOutput;
}

void CrossfadeDelay::reset() {
    SignalComponent::reset();
    for (double& slot : buffer) {
        slot = 0.0;
    }
}

float CrossfadeDelay::setWindow(float samples) {
    if (!(samples >= 0.0f)) {
        samples = 0.0f;
    } else if (std::ceil(samples) > static_cast<float>(kDelayCapacity)) {
        samples = static_cast<float>(kDelayCapacity - 1);
    }
    nominalWindow = samples;
    window = samples;
    return samples;
}
