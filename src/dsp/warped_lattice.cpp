#include "dsp/warped_lattice.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

int32_t clampStages(int32_t count) {
    return std::clamp(count, int32_t{0}, WarpedLatticeFilter::kMaxStages);
}

} // namespace

void WarpedLatticeFilter::reset() {
    SignalComponent::reset();
    for (auto& array : storage) {
        std::fill(std::begin(array), std::end(array), 0.0);
    }
}

void WarpedLatticeFilter::setCoefficientsNow(const double* values, int32_t count) {
    const int32_t n = clampStages(count);
    for (int32_t i = 0; i < n; ++i) {
        current[i] = sign * values[i];
    }
    setTargetCoefficients(values, count);
}

void WarpedLatticeFilter::setTargetCoefficients(const double* values, int32_t count) {
    const int32_t n = clampStages(count);
    for (int32_t i = 0; i < n; ++i) {
        if (std::fabs(values[i]) < 1.0) {
            target[i] = sign * values[i];
        }
    }
    stages = n;
}

void WarpedLatticeFilter::setTargetCoefficientsRotated(const double* values, int32_t count, float rotation) {
    const int32_t n = clampStages(count);
    const float r = rotation <= 0.0f ? 0.0f : (rotation >= 1.0f ? 1.0f : rotation);
    const int32_t offset = static_cast<int32_t>(static_cast<float>(n) * r);
    for (int32_t i = 0; i < n; ++i) {
        if (std::fabs(values[i]) < 1.0) {
            target[i] = sign * values[(i + offset) % n];
        }
    }
    stages = n;
}

void WarpedLatticeFilter::setSmoothingTime(double time) {
    const double calls = time * sampleRate;
    smoothing = (time > 0.0 && calls > 0.0) ? std::pow(0.5, 1.0 / calls) : 0.0;
}

void WarpedLatticeFilter::glide(double targetWarp, double targetResonance, double retention) {
    warp = targetWarp + (warp - targetWarp) * retention;
    resonance = targetResonance + (resonance - targetResonance) * retention;
    const double s = smoothing;
    for (int32_t i = 0; i < stages; ++i) {
        current[i] = s * current[i] + (1.0 - s) * resonance * target[i];
    }
}

void WarpedLatticeInverse::updateCoefficients(double targetWarp, double targetResonance) {
    glide(targetWarp, targetResonance, kGlideRetention);
}

double WarpedLatticeInverse::process(double input) {
    const double lambda = warp;
    double e = input;
    double u = input;
    for (int32_t i = 0; i < stages; ++i) {
        const double v = lambda * (stateA[i] - u) + stateB[i];
        stateA[i] = v;
        stateB[i] = u;
        const double c = current[i];
        const double nextU = v + c * e;
        e = e + c * v;
        u = nextU;
    }
    lastOutput = e;
    return e;
}

void WarpedLatticeSynthesis::updateCoefficients(double targetWarp, double targetResonance) {
    glide(targetWarp, targetResonance, kGlideRetention);
    const double lambda = warp;
    warpGain = 1.0 - lambda * lambda;

    // The output feeds back into stage 0 without delay; summing the loop's
    // instantaneous gain through the all-pass chain gives G = 1 / (1 - sum).
    double f = -lambda;
    double product = 1.0;
    double sum = 0.0;
    for (int32_t i = 0; i < stages; ++i) {
        const double c = current[i];
        const double tmp = f - product * c;
        sum = sum + f * c;
        product = product - f * c;
        f = -lambda * tmp;
    }
    // A loop gain of exactly one has no finite compensation; the previous G stays.
    const double g = 1.0 / (1.0 - sum);
    if (std::isfinite(g)) {
        gainCompensation = g;
    }
}

double WarpedLatticeSynthesis::process(double input) {
    const double* prev = bufferToggle ? stateA : stateB;
    double* next = bufferToggle ? stateB : stateA;
    const double* k = current;
    const double lambda = warp;
    const double a = warpGain;
    const int32_t n = stages;

    // What the previous state contributes to the top of the lattice; stage 0
    // always runs, so with no stages the filter acts as one with current[0].
    double m = a * prev[0];
    double t = k[0] * m;
    double tBefore = 0.0;
    for (int32_t j = 1; j < n; ++j) {
        const double mj = a * prev[j] - lambda * (m + k[j - 1] * tBefore);
        const double tj = t + k[j] * mj;
        tBefore = t;
        t = tj;
        m = mj;
    }

    const double y = gainCompensation * (input + t);

    next[0] = y + lambda * prev[0];
    double u = y;
    for (int32_t j = 1; j < n; ++j) {
        const double q = prev[j - 1] - lambda * next[j - 1];
        next[j] = q + lambda * prev[j] - u * k[j - 1] + dither;
        u = u - q * k[j - 1];
    }

    dither = -dither;
    bufferToggle = !bufferToggle;
    lastOutput = y;
    return y;
}
