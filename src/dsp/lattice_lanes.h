#pragma once

#include <cmath>
#include <cstdint>
#include <type_traits>

#include "dsp/lattice_kernels.h"
#include "dsp/warped_lattice.h"

// The filters' whole operations over a lane type: with `double` they are the
// filters' own `process` and `updateCoefficients`, with a pair the paired
// forms, which run two filters of equal stage count side by side.
namespace lattice {

// The filters one lane type covers (one, or both channels'), their fields
// read and written as lane values.
template <class L, class Filter> struct LaneFilters {
    Filter* filters[kLaneCount<L>];

    int32_t stages() const { return filters[0]->stages; }

    L read(double Filter::*field) const {
        if constexpr (kLaneCount<L> == 1) {
            return filters[0]->*field;
        } else {
            return pairOf<L>(filters[0]->*field, filters[1]->*field);
        }
    }
    void write(double Filter::*field, L value) const {
        for (int c = 0; c < kLaneCount<L>; ++c) {
            filters[c]->*field = laneAt(value, c);
        }
    }
    // The arrays `pick(filter)` gives for each filter.
    template <class T = double, class Pick> LaneArray<L, T> array(Pick pick) const {
        if constexpr (kLaneCount<L> == 1) {
            return {pick(*filters[0])};
        } else {
            return {pick(*filters[0]), pick(*filters[1])};
        }
    }
};

template <class T = double, class L, class Filter>
LaneArray<L, T> coefficientsOf(const LaneFilters<L, Filter>& f) {
    return f.template array<T>([](Filter& filter) { return filter.current; });
}

// The synthesis state is double-buffered: the previous state is read while the new one is made.
template <class L>
LaneArray<L, const double> previousStateOf(const LaneFilters<L, WarpedLatticeSynthesis>& f) {
    return f.template array<const double>(
        [](WarpedLatticeSynthesis& s) { return s.bufferToggle ? s.stateA : s.stateB; });
}

template <class L> LaneArray<L> nextStateOf(const LaneFilters<L, WarpedLatticeSynthesis>& f) {
    return f.array([](WarpedLatticeSynthesis& s) { return s.bufferToggle ? s.stateB : s.stateA; });
}

template <class L> InverseStage<L> inverseStageOf(const LaneFilters<L, WarpedLatticeInverse>& f) {
    return {f.read(&WarpedLatticeInverse::warp), f.array([](WarpedLatticeInverse& i) { return i.stateA; }),
            f.array([](WarpedLatticeInverse& i) { return i.stateB; }), coefficientsOf<const double>(f)};
}

// The glide's coefficient step with the warp and resonance in force.
template <class L, class Filter> CoefficientGlide<L> coefficientGlideOf(const LaneFilters<L, Filter>& f) {
    return {f.read(&Filter::smoothing), f.read(&Filter::resonance), coefficientsOf(f),
            f.template array<const double>([](Filter& filter) { return filter.target; })};
}

// The glide's first step: warp and resonance move towards their targets, and
// the synthesis's warp gain follows the warp.
template <class L, class Filter>
void glideWarpAndResonance(const LaneFilters<L, Filter>& f, L targetWarp, L targetResonance) {
    f.write(&Filter::warp, glideTowards(f.read(&Filter::warp), targetWarp, Filter::kGlideRetention));
    f.write(&Filter::resonance,
            glideTowards(f.read(&Filter::resonance), targetResonance, Filter::kGlideRetention));
    if constexpr (std::is_same_v<Filter, WarpedLatticeSynthesis>) {
        f.write(&Filter::warpGain, warpGainOf(f.read(&Filter::warp)));
    }
}

// A loop gain without a finite compensation (exactly one) leaves that filter's G as it was.
template <class L> void setCompensation(const LaneFilters<L, WarpedLatticeSynthesis>& f, L g) {
    for (int c = 0; c < kLaneCount<L>; ++c) {
        if (std::isfinite(laneAt(g, c))) {
            f.filters[c]->gainCompensation = laneAt(g, c);
        }
    }
}

// Every synthesis sample swaps the state buffers and the dither's sign.
template <class L> void advance(const LaneFilters<L, WarpedLatticeSynthesis>& f) {
    for (WarpedLatticeSynthesis* filter : f.filters) {
        filter->dither = -filter->dither;
        filter->bufferToggle = !filter->bufferToggle;
    }
}

template <class L> L inverseProcess(const LaneFilters<L, WarpedLatticeInverse>& f, L input) {
    const InverseStage<L> stage = inverseStageOf(f);
    L e = input;
    L u = input;
    for (int32_t i = 0; i < f.stages(); ++i) {
        stage.run(i, e, u);
    }
    f.write(&WarpedLatticeInverse::lastOutput, e);
    return e;
}

template <class L> L synthesisProcess(const LaneFilters<L, WarpedLatticeSynthesis>& f, L input) {
    const LaneArray<L, const double> previous = previousStateOf(f);
    const LaneArray<L, const double> k = coefficientsOf<const double>(f);
    const L lambda = f.read(&WarpedLatticeSynthesis::warp);
    const L a = f.read(&WarpedLatticeSynthesis::warpGain);
    const int32_t n = f.stages();

    // Stage 0 always runs, so with no stages the filter acts as one with current[0].
    FeedbackSum<L> feedback(a, previous.load(0), k.load(0));
    for (int32_t j = 1; j < n; ++j) {
        feedback.step(a, lambda, previous.load(j), k.load(j - 1), k.load(j));
    }
    const L y = f.read(&WarpedLatticeSynthesis::gainCompensation) * (input + feedback.t);

    updateState(StateUpdate<L>(lambda, f.read(&WarpedLatticeSynthesis::dither), y), previous, nextStateOf(f),
                k, n);
    advance(f);
    f.write(&WarpedLatticeSynthesis::lastOutput, y);
    return y;
}

// The glide, and for the synthesis the gain compensation from the new coefficients.
template <class L, class Filter>
void glide(const LaneFilters<L, Filter>& f, L targetWarp, L targetResonance) {
    constexpr bool kSynthesis = std::is_same_v<Filter, WarpedLatticeSynthesis>;
    glideWarpAndResonance(f, targetWarp, targetResonance);
    const L lambda = f.read(&Filter::warp);
    const CoefficientGlide<L> coefficients = coefficientGlideOf(f);
    LoopGain<L> gain(lambda);
    for (int32_t i = 0; i < f.stages(); ++i) {
        const L c = coefficients.step(i, coefficients.current.load(i));
        if constexpr (kSynthesis) {
            gain.add(c);
        }
    }
    if constexpr (kSynthesis) {
        setCompensation(f, gain.compensation());
    }
}

} // namespace lattice
