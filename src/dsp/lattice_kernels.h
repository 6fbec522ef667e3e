#pragma once

#include <cstdint>
#include <type_traits>

#include "dsp/double_pair.h"

// The warped lattices' recurrences, each written once over a lane type L:
// `double` runs one channel, a pair (DoublePair) both channels side by side.
// Lane-wise pair arithmetic rounds as scalar arithmetic does, so every path
// built from these kernels gives each channel the same bits: the filters'
// own `process`, their paired forms and the pipelined stereo chain. The
// kernels work one stage at a time because the stereo chain interleaves
// several recurrences in one pass over the stages.
namespace lattice {

template <class L> constexpr int kLaneCount = std::is_same_v<L, double> ? 1 : 2;

// Channel `index` of a lane value.
template <class L> double laneAt(L value, int index) {
    if constexpr (kLaneCount<L> == 1) {
        return value;
    } else {
        return value[index];
    }
}

template <class L> L uniform(double value) {
    if constexpr (kLaneCount<L> == 1) {
        return value;
    } else {
        return pairOf<L>(value, value);
    }
}

// One array per channel, read and written an entry (of every channel) at a time.
template <class L, class T = double> struct LaneArray {
    T* first;
    T* second;
    L load(int32_t i) const { return loadPair<L>(first, second, i); }
    void store(int32_t i, L value) const { storePair(first, second, i, value); }
};

template <class T> struct LaneArray<double, T> {
    T* values;
    double load(int32_t i) const { return values[i]; }
    void store(int32_t i, double value) const { values[i] = value; }
};

// A glide step towards a target with the given retention.
template <class L> L glideTowards(L value, L target, double retention) {
    return target + (value - target) * retention;
}

// One stage of the all-zero lattice: (e, u) through stage i, where stateA
// holds the stage's all-pass output and stateB its input of the last sample.
template <class L> struct InverseStage {
    L lambda;
    LaneArray<L> stateA;
    LaneArray<L> stateB;
    LaneArray<L, const double> coefficients;

    void run(int32_t i, L& e, L& u) const {
        const L v = lambda * (stateA.load(i) - u) + stateB.load(i);
        stateA.store(i, v);
        stateB.store(i, u);
        const L c = coefficients.load(i);
        const L nextU = v + c * e;
        e = e + c * v;
        u = nextU;
    }
};

// What the previous synthesis state contributes to the top of the lattice,
// gathered stage by stage from each state entry and the coefficients.
template <class L> struct FeedbackSum {
    L m;
    L t;
    L tBefore;

    // Stage 0 (which always runs) from its state entry and coefficient.
    FeedbackSum(L warpGain, L state, L k) : m(warpGain * state), t(k * m), tBefore() {}

    // Stage j from state entry j and the coefficients j - 1 and j.
    void step(L warpGain, L lambda, L state, L kBefore, L k) {
        const L mj = warpGain * state - lambda * (m + kBefore * tBefore);
        const L tj = t + k * mj;
        tBefore = t;
        t = tj;
        m = mj;
    }
};

// The synthesis state update once the output y is known: each new entry
// comes from the one made before it and two entries of the previous state.
// `dither` keeps the state off denormals.
template <class L> struct StateUpdate {
    L lambda;
    L dither;
    L u;
    L below; // the entry made last

    StateUpdate(L warp, L offset, L y) : lambda(warp), dither(offset), u(y), below() {}

    L first(L previous) {
        below = u + lambda * previous;
        return below;
    }
    // Entry j from previous entries j - 1 and j and coefficient j - 1.
    L step(L previousBefore, L previous, L kBefore) {
        const L q = previousBefore - lambda * below;
        below = q + lambda * previous - u * kBefore + dither;
        u = u - q * kBefore;
        return below;
    }
};

// The coefficient glide current = s current + (1 - s) resonance target; the
// product groups from the left, so (1 - s) resonance is formed once.
template <class L> struct CoefficientGlide {
    L s;
    L pull;
    LaneArray<L> current;
    LaneArray<L, const double> target;

    CoefficientGlide(L smoothing, L resonance, LaneArray<L> coefficients, LaneArray<L, const double> targets)
        : s(smoothing), pull((1.0 - smoothing) * resonance), current(coefficients), target(targets) {}

    // Coefficient i, whose value before the step is `before`, moved and stored.
    L step(int32_t i, L before) const {
        const L c = s * before + pull * target.load(i);
        current.store(i, c);
        return c;
    }
};

// The synthesis output feeds back into stage 0 without delay; summing the
// loop's instantaneous gain through the all-pass chain, coefficient by
// coefficient, gives the compensation G = 1 / (1 - sum).
template <class L> struct LoopGain {
    L lambda;
    L f;
    L product;
    L sum;

    explicit LoopGain(L warp) : lambda(warp), f(-warp), product(uniform<L>(1.0)), sum() {}

    void add(L c) {
        const L tmp = f - product * c;
        sum = sum + f * c;
        product = product - f * c;
        f = -lambda * tmp;
    }
    L compensation() const { return 1.0 / (1.0 - sum); }
};

template <class L> L warpGainOf(L lambda) {
    return 1.0 - lambda * lambda;
}

// The whole update, for a state made outside the stereo chain's fused pass.
template <class L>
void updateState(StateUpdate<L> update, LaneArray<L, const double> previous, LaneArray<L> next,
                 LaneArray<L, const double> coefficients, int32_t stages) {
    next.store(0, update.first(previous.load(0)));
    for (int32_t j = 1; j < stages; ++j) {
        next.store(j, update.step(previous.load(j - 1), previous.load(j), coefficients.load(j - 1)));
    }
}

} // namespace lattice
