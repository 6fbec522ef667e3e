#include "dsp/warped_lattice.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <tuple>

#include "dsp/double_pair.h"

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

// The paired paths below repeat the loops above on both channels at once. The
// lattices are latency-bound serial chains, so two channels cost about as much
// as one. Every expression keeps the operand order of its scalar original.

void WarpedLatticeInverse::processPair(WarpedLatticeInverse& first, WarpedLatticeInverse& second, double& x1,
                                       double& x2) {
    if (first.stages != second.stages || &first == &second) {
        x1 = first.process(x1);
        x2 = second.process(x2);
        return;
    }
    const int32_t n = first.stages;
    const DoublePair lambda = pairOf(first.warp, second.warp);
    double* a1 = first.stateA;
    double* a2 = second.stateA;
    double* b1 = first.stateB;
    double* b2 = second.stateB;
    const double* c1 = first.current;
    const double* c2 = second.current;
    DoublePair e = pairOf(x1, x2);
    DoublePair u = e;
    for (int32_t i = 0; i < n; ++i) {
        const DoublePair v = lambda * (loadPair(a1, a2, i) - u) + loadPair(b1, b2, i);
        storePair(a1, a2, i, v);
        storePair(b1, b2, i, u);
        const DoublePair c = loadPair(c1, c2, i);
        const DoublePair nextU = v + c * e;
        e = e + c * v;
        u = nextU;
    }
    x1 = first.lastOutput = e[0];
    x2 = second.lastOutput = e[1];
}

void WarpedLatticeSynthesis::updateCoefficientsPair(WarpedLatticeSynthesis& first,
                                                    WarpedLatticeSynthesis& second, double warp1,
                                                    double resonance1, double warp2, double resonance2) {
    if (first.stages != second.stages || &first == &second) {
        first.updateCoefficients(warp1, resonance1);
        second.updateCoefficients(warp2, resonance2);
        return;
    }
    // The glide of warp and resonance, as in `glide`.
    for (auto [filter, w, r] :
         {std::tuple{&first, warp1, resonance1}, std::tuple{&second, warp2, resonance2}}) {
        filter->warp = w + (filter->warp - w) * kGlideRetention;
        filter->resonance = r + (filter->resonance - r) * kGlideRetention;
    }
    const int32_t n = first.stages;
    const DoublePair s = pairOf(first.smoothing, second.smoothing);
    // (1 - s) * resonance * target[i] groups from the left, so the first product is a constant.
    const DoublePair pull = (1.0 - s) * pairOf(first.resonance, second.resonance);
    const DoublePair lambda = pairOf(first.warp, second.warp);
    double* k1 = first.current;
    double* k2 = second.current;
    const double* g1 = first.target;
    const double* g2 = second.target;

    // The glide and the gain compensation in one pass: G reads each freshly
    // smoothed coefficient as soon as it is made.
    DoublePair f = -lambda;
    DoublePair product = pairOf(1.0, 1.0);
    DoublePair sum = pairOf(0.0, 0.0);
    for (int32_t i = 0; i < n; ++i) {
        const DoublePair c = s * loadPair(k1, k2, i) + pull * loadPair(g1, g2, i);
        storePair(k1, k2, i, c);
        const DoublePair tmp = f - product * c;
        sum = sum + f * c;
        product = product - f * c;
        f = -lambda * tmp;
    }
    const DoublePair warpGain = 1.0 - lambda * lambda;
    const DoublePair g = 1.0 / (1.0 - sum);
    first.warpGain = warpGain[0];
    second.warpGain = warpGain[1];
    if (std::isfinite(g[0])) {
        first.gainCompensation = g[0];
    }
    if (std::isfinite(g[1])) {
        second.gainCompensation = g[1];
    }
}

void WarpedLatticeSynthesis::processPair(WarpedLatticeSynthesis& first, WarpedLatticeSynthesis& second,
                                         double& x1, double& x2) {
    if (first.stages != second.stages || &first == &second) {
        x1 = first.process(x1);
        x2 = second.process(x2);
        return;
    }
    const int32_t n = first.stages;
    const double* p1 = first.bufferToggle ? first.stateA : first.stateB;
    const double* p2 = second.bufferToggle ? second.stateA : second.stateB;
    double* q1 = first.bufferToggle ? first.stateB : first.stateA;
    double* q2 = second.bufferToggle ? second.stateB : second.stateA;
    const double* k1 = first.current;
    const double* k2 = second.current;
    const DoublePair lambda = pairOf(first.warp, second.warp);
    const DoublePair a = pairOf(first.warpGain, second.warpGain);

    DoublePair m = a * loadPair(p1, p2, 0);
    DoublePair t = loadPair(k1, k2, 0) * m;
    DoublePair tBefore = pairOf(0.0, 0.0);
    for (int32_t j = 1; j < n; ++j) {
        const DoublePair mj = a * loadPair(p1, p2, j) - lambda * (m + loadPair(k1, k2, j - 1) * tBefore);
        const DoublePair tj = t + loadPair(k1, k2, j) * mj;
        tBefore = t;
        t = tj;
        m = mj;
    }

    const DoublePair y = pairOf(first.gainCompensation, second.gainCompensation) * (pairOf(x1, x2) + t);

    const DoublePair dither = pairOf(first.dither, second.dither);
    DoublePair below = y + lambda * loadPair(p1, p2, 0);
    storePair(q1, q2, 0, below);
    DoublePair u = y;
    for (int32_t j = 1; j < n; ++j) {
        const DoublePair k = loadPair(k1, k2, j - 1);
        const DoublePair q = loadPair(p1, p2, j - 1) - lambda * below;
        below = q + lambda * loadPair(p1, p2, j) - u * k + dither;
        storePair(q1, q2, j, below);
        u = u - q * k;
    }

    for (WarpedLatticeSynthesis* filter : {&first, &second}) {
        filter->dither = -filter->dither;
        filter->bufferToggle = !filter->bufferToggle;
    }
    x1 = first.lastOutput = y[0];
    x2 = second.lastOutput = y[1];
}
