#include "dsp/wavetable_lfo.h"

#include <cmath>
#include <ctime>
#include <limits>

namespace {

// Turns a phase or a step, in fixed-point units, into the 32-bit register. The
// detour through a signed 64-bit integer keeps the conversion defined for negative
// values (a negative double converted straight to uint32 is undefined behaviour):
// the result is the truncated value modulo 2^32, and the caller's mask with
// kPhaseMask folds it into one cycle. So a song position before bar one locks to
// the same point of the cycle as the positive position a whole number of cycles
// later, and a negative rate runs the oscillator backwards. Non-finite or absurdly
// large values are refused, and the caller keeps its previous state.
bool toPhaseUnits(double units, std::uint32_t& out) {
    constexpr double kLimit = 9.0e18; // well inside the int64 range
    if (!(std::fabs(units) < kLimit)) {
        return false;
    }
    out = static_cast<std::uint32_t>(static_cast<std::int64_t>(units));
    return true;
}

// Random shapes are centred on their mean and scaled so that the largest value is +1;
// negative values may go beyond -1. Dividing by the maximum (rather than multiplying
// by its reciprocal) makes that maximum exactly 1.
void normalise(double* t, int n) {
    double sum = 0.0;
    for (int i = 0; i < n; ++i) {
        sum += t[i];
    }
    const double mean = sum * (1.0 / n);
    double largest = 0.0;
    for (int i = 0; i < n; ++i) {
        t[i] -= mean;
        if (t[i] > largest) {
            largest = t[i];
        }
    }
    if (largest != 0.0) {
        for (int i = 0; i < n; ++i) {
            t[i] /= largest;
        }
    }
}

} // namespace

std::int32_t WavetableLfo::holdThreshold() {
    // 512 * 0.93457937...^(1/1.125): the exponent's ratio ln 512 / ln 256 is rounded to
    // single precision first. The result, 482, makes 29 of 512 draws start a new step.
    const float ratio = static_cast<float>(std::log(512.0) / std::log(256.0));
    return static_cast<std::int32_t>(kTableSize * std::pow(0.9345793724060059, 1.0 / ratio));
}

double WavetableLfo::read(std::uint32_t at) const {
    const std::uint32_t index = at >> kFractionBits;
    if (!interpolate) {
        return table[index];
    }
    const double f = static_cast<double>(at & kFractionMask) * fractionScale;
    return (1.0 - f) * table[index] + f * table[index + 1];
}

double WavetableLfo::tick() {
    // The mask keeps the index inside the table even if the owner wrote a wider phase.
    const std::uint32_t current = phase & kPhaseMask;
    phase = (current + increment) & kPhaseMask;
    lastOutput = read(current);
    return lastOutput;
}

double WavetableLfo::process(double phaseRadians) {
    std::uint32_t at = 0;
    if (!toPhaseUnits(phaseRadians * inverseTwoPi * phaseScale * kTableSize, at)) {
        return lastOutput;
    }
    at &= kPhaseMask;
    lastOutput = read(at);
    phase = (at + increment) & kPhaseMask;
    return lastOutput;
}

void WavetableLfo::reset() {
    phase = 0;
    lastOutput = 0.0;
}

void WavetableLfo::setShape(std::int32_t index) {
    shape = index;
    random.seed(fixedSeed ? *fixedSeed : static_cast<std::uint32_t>(std::time(nullptr)));

    switch (index) {
    case kSinus:
        for (int i = 0; i < kTableSize; ++i) {
            table[i] = std::sin(2.0 * pi * i / kTableSize);
        }
        break;
    case kTriangle:
    case kExponent: {
        // T rises from -1 to +1 over n = 0..256 and falls back over 256..512; the table
        // starts a quarter cycle in, so the shape begins at 0 heading up, like the sine.
        double ramp[kTableLength];
        for (int n = 0; n <= 256; ++n) {
            ramp[n] = n / 128.0 - 1.0;
            ramp[256 + n] = 1.0 - n / 128.0;
        }
        for (int i = 0; i < kTableSize; ++i) {
            table[i] = ramp[(i + 128) % kTableSize];
        }
        if (index == kExponent) {
            for (int i = 0; i < kTableSize; ++i) {
                table[i] = table[i] * table[i] * table[i];
            }
        }
        break;
    }
    case kSawUp:
    case kSawDown: {
        const double sign = index == kSawUp ? 1.0 : -1.0;
        for (int i = 0; i < kTableSize; ++i) {
            table[i] = sign * (((i + 128) % kTableSize) / 255.5 - 1.0);
        }
        break;
    }
    case kSquare:
        for (int i = 0; i < kTableSize; ++i) {
            table[i] = i < kTableSize / 2 ? -1.0 : 1.0;
        }
        break;
    case kSampleAndHold: {
        const std::int32_t hold = holdThreshold();
        table[0] = 0.0;
        for (int i = 1; i < kTableSize; ++i) {
            if (random.next() % kTableSize <= hold) {
                table[i] = table[i - 1];
            } else {
                table[i] = random.next() / 16383.5 - 1.0;
            }
        }
        normalise(table, kTableSize);
        break;
    }
    case kRandom:
        for (int i = 0; i < kTableSize; ++i) {
            table[i] = random.next() / 16383.5 - 1.0;
        }
        normalise(table, kTableSize);
        break;
    default:
        break; // unknown shape: the table stays as it was
    }
    table[kTableSize] = table[0];
}

void WavetableLfo::setRate(double a, double b, double x, std::int32_t samplesPerBeat, double ppq, double fs) {
    const bool synced = a > 0.0 && b >= 1.0;
    double newFrequency = a * x;
    std::uint32_t lockedPhase = 0;
    if (synced) {
        // Without a tempo from the host (samples per beat 0 or less) there is no grid:
        // keep running as before rather than take a meaningless or non-finite rate.
        if (samplesPerBeat <= 0) {
            return;
        }
        // The free period fs / a, rounded up to whole grid steps of spb / b samples.
        const double spb = samplesPerBeat;
        const double period = std::ceil(fs * b / (a * spb)) / b * spb;
        // A zero or non-finite sample rate gives no usable period either (and a period
        // beyond the float range could not be rounded to single precision).
        if (!(period > 0.0 && period <= std::numeric_limits<float>::max())) {
            return;
        }
        const float m = static_cast<float>(period); // the period is rounded to single precision
        // fmod keeps the sign of ppq * spb, so a negative song position gives a negative
        // offset; toPhaseUnits and the mask bring it into the cycle.
        if (!toPhaseUnits(std::fmod(ppq * spb, m) / m * phaseScale * kTableSize, lockedPhase)) {
            return;
        }
        newFrequency = fs / m * x;
    }
    if (shape == kSampleAndHold) {
        newFrequency *= 0.1;
    }
    std::uint32_t newIncrement = 0;
    if (!(sampleRate > 0.0) ||
        !toPhaseUnits(newFrequency / sampleRate * kTableSize * phaseScale, newIncrement)) {
        return;
    }
    frequency = newFrequency;
    increment = newIncrement;
    if (synced) {
        phase = lockedPhase & kPhaseMask;
    }
}
