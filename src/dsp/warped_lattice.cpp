#include "dsp/warped_lattice.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "dsp/lattice_lanes.h"

namespace {

int32_t clampStages(int32_t count) {
    return std::clamp(count, int32_t{0}, WarpedLatticeFilter::kMaxStages);
}

using lattice::LaneFilters;
using OneInverse = LaneFilters<double, WarpedLatticeInverse>;
using OneSynthesis = LaneFilters<double, WarpedLatticeSynthesis>;
using TwoInverses = LaneFilters<DoublePair, WarpedLatticeInverse>;
using TwoSyntheses = LaneFilters<DoublePair, WarpedLatticeSynthesis>;

// The paired forms need equal stage counts and two distinct filters.
bool pairable(const WarpedLatticeFilter& first, const WarpedLatticeFilter& second) {
    return first.stages == second.stages && &first != &second;
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

// The recurrences live in lattice_kernels.h: the filters' own operations run
// them on one channel (lane type double), the paired forms on two.

double WarpedLatticeInverse::process(double input) {
    return lattice::inverseProcess(OneInverse{this}, input);
}

void WarpedLatticeInverse::updateCoefficients(double targetWarp, double targetResonance) {
    lattice::glide(OneInverse{this}, targetWarp, targetResonance);
}

double WarpedLatticeSynthesis::process(double input) {
    return lattice::synthesisProcess(OneSynthesis{this}, input);
}

void WarpedLatticeSynthesis::updateCoefficients(double targetWarp, double targetResonance) {
    lattice::glide(OneSynthesis{this}, targetWarp, targetResonance);
}

void WarpedLatticeInverse::processPair(WarpedLatticeInverse& first, WarpedLatticeInverse& second, double& x1,
                                       double& x2) {
    if (!pairable(first, second)) {
        x1 = first.process(x1);
        x2 = second.process(x2);
        return;
    }
    const DoublePair e = lattice::inverseProcess(TwoInverses{&first, &second}, pairOf(x1, x2));
    x1 = e[0];
    x2 = e[1];
}

void WarpedLatticeSynthesis::processPair(WarpedLatticeSynthesis& first, WarpedLatticeSynthesis& second,
                                         double& x1, double& x2) {
    if (!pairable(first, second)) {
        x1 = first.process(x1);
        x2 = second.process(x2);
        return;
    }
    const DoublePair y = lattice::synthesisProcess(TwoSyntheses{&first, &second}, pairOf(x1, x2));
    x1 = y[0];
    x2 = y[1];
}

void WarpedLatticeSynthesis::updateCoefficientsPair(WarpedLatticeSynthesis& first,
                                                    WarpedLatticeSynthesis& second, double warp1,
                                                    double resonance1, double warp2, double resonance2) {
    if (!pairable(first, second)) {
        first.updateCoefficients(warp1, resonance1);
        second.updateCoefficients(warp2, resonance2);
        return;
    }
    lattice::glide(TwoSyntheses{&first, &second}, pairOf(warp1, warp2), pairOf(resonance1, resonance2));
}
