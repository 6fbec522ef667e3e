#include "battery_support.h"

#include <cstdio>

namespace battery {

const char* signalName(SignalKind kind) {
    switch (kind) {
    case SignalKind::Silence:
        return "silence";
    case SignalKind::Noise:
        return "noise";
    case SignalKind::Dc:
        return "DC";
    case SignalKind::Square:
        return "square";
    case SignalKind::Sine:
        return "sine";
    }
    return "?";
}

void SignalSource::choose(Random& random) {
    kind_ = static_cast<SignalKind>(random.below(5));
    // Mostly full scale: the bound is claimed for the loudest input a host sends.
    level = random.chance(0.6) ? 1.0 : random.unit();
    period = 2.0 + random.below(2000);
    opposite = random.chance(0.3);
    noiseState = random.next() | 1u;
}

void SignalSource::fill(float* left, float* right, int frames) {
    for (int i = 0; i < frames; ++i) {
        double l = 0.0;
        double r = 0.0;
        switch (kind_) {
        case SignalKind::Silence:
            break;
        case SignalKind::Noise: {
            // xorshift64: two independent full-scale channels
            auto draw = [this] {
                noiseState ^= noiseState << 13;
                noiseState ^= noiseState >> 7;
                noiseState ^= noiseState << 17;
                return static_cast<double>(noiseState >> 11) * 0x1.0p-52 - 1.0;
            };
            l = level * draw();
            r = level * draw();
            break;
        }
        case SignalKind::Dc:
            l = level;
            r = opposite ? -level : level;
            break;
        case SignalKind::Square:
            l = std::fmod(phase, period) < 0.5 * period ? level : -level;
            r = opposite ? -l : l;
            break;
        case SignalKind::Sine:
            l = level * std::sin(2.0 * 3.14159265358979323846 * phase / period);
            r = opposite ? -l : l;
            break;
        }
        phase += 1.0;
        // Rounded towards zero so that no sample exceeds the level.
        left[i] = static_cast<float>(l);
        right[i] = static_cast<float>(r);
        if (std::fabs(left[i]) > 1.0f) {
            left[i] = std::copysign(1.0f, left[i]);
        }
        if (std::fabs(right[i]) > 1.0f) {
            right[i] = std::copysign(1.0f, right[i]);
        }
    }
}

std::string SignalSource::describe() const {
    char text[96];
    std::snprintf(text, sizeof(text), "%s level %.3f period %.0f%s", signalName(kind_), level, period,
                  opposite ? " opposite" : "");
    return text;
}

namespace {

float anyValue(Random& random) {
    const double u = random.unit();
    if (u < 0.35) {
        return static_cast<float>(random.unit());
    }
    if (u < 0.50) {
        return random.chance(0.5) ? 0.0f : 1.0f;
    }
    if (u < 0.72) {
        return static_cast<float>(-2.0 + 5.0 * random.unit());
    }
    if (u < 0.82) {
        // Far outside the range, up to the largest float.
        static const float kHuge[] = {1e3f,
                                      -1e3f,
                                      1e9f,
                                      -1e9f,
                                      3e38f,
                                      -3e38f,
                                      std::numeric_limits<float>::max(),
                                      -std::numeric_limits<float>::max()};
        return kHuge[random.below(8)];
    }
    if (u < 0.90) {
        static const float kTiny[] = {-0.0f,
                                      1e-40f,
                                      -1e-40f,
                                      std::numeric_limits<float>::denorm_min(),
                                      std::numeric_limits<float>::epsilon(),
                                      1.0f - 1e-7f};
        return kTiny[random.below(6)];
    }
    if (u < 0.95) {
        static const float kNotANumber[] = {std::numeric_limits<float>::quiet_NaN(),
                                            std::numeric_limits<float>::infinity(),
                                            -std::numeric_limits<float>::infinity()};
        return kNotANumber[random.below(3)];
    }
    return 0.5f;
}

} // namespace

float hostileValue(Random& random, int index) {
    switch (index) {
    case kDelaySync:
    case kLfo1Sync:
    case kLfo2Sync:
        // Division indices 0..14, and beyond the list on both sides.
        if (random.chance(0.7)) {
            return static_cast<float>(random.between(-3, 20));
        }
        if (random.chance(0.5)) {
            return static_cast<float>(20.0 * random.unit() - 2.0);
        }
        return anyValue(random);
    case kLfo1Shape:
    case kLfo2Shape:
        // Shape indices 0..7, fractions of them, and beyond the list.
        if (random.chance(0.7)) {
            return static_cast<float>(random.between(-2, 10));
        }
        if (random.chance(0.5)) {
            return static_cast<float>(10.0 * random.unit() - 1.0);
        }
        return anyValue(random);
    case kFilterType:
        // Types 0..7 are k / 10; 8, 9 and 10 and negative types have no design of their own.
        if (random.chance(0.7)) {
            return static_cast<float>(random.between(-3, 14)) * 0.1f;
        }
        return anyValue(random);
    default:
        return anyValue(random);
    }
}

} // namespace battery
