#include "dsp/stereo_lattice_chain.h"

#include <algorithm>
#include <cmath>

#include "dsp/double_pair.h"

// Every expression below repeats one of WarpedLatticeInverse::process or
// WarpedLatticeSynthesis::process on both channels, with its operand order.

namespace {

const double* previousState(const WarpedLatticeSynthesis& filter) {
    return filter.bufferToggle ? filter.stateA : filter.stateB;
}

double* nextState(WarpedLatticeSynthesis& filter) {
    return filter.bufferToggle ? filter.stateB : filter.stateA;
}

// One inverse stage of both channels: (e, u) through stage i.
struct InverseStages {
    DoublePair lambda;
    double* a1;
    double* a2;
    double* b1;
    double* b2;
    const double* c1;
    const double* c2;

    InverseStages(WarpedLatticeInverse& first, WarpedLatticeInverse& second)
        : lambda(pairOf(first.warp, second.warp)), a1(first.stateA), a2(second.stateA), b1(first.stateB),
          b2(second.stateB), c1(first.current), c2(second.current) {}

    void run(int32_t i, DoublePair& e, DoublePair& u) const {
        const DoublePair v = lambda * (loadPair(a1, a2, i) - u) + loadPair(b1, b2, i);
        storePair(a1, a2, i, v);
        storePair(b1, b2, i, u);
        const DoublePair c = loadPair(c1, c2, i);
        const DoublePair nextU = v + c * e;
        e = e + c * v;
        u = nextU;
    }
};

} // namespace

bool StereoLatticeChain::fusable() const {
    const int32_t n = synthesisFilters[0]->stages;
    return synthesisFilters[1]->stages == n && inverseFilters[0]->stages == n &&
           inverseFilters[1]->stages == n && inverseFilters[0] != inverseFilters[1] &&
           synthesisFilters[0] != synthesisFilters[1];
}

void StereoLatticeChain::inverse(double& x1, double& x2) {
    const bool fused = fusable();
    if (pending && (!fused || pendingStages != synthesisFilters[0]->stages)) {
        settle();
    }
    // The fused glide hands the waiting update each coefficient just before
    // replacing it; coefficients held apart already are read where they are.
    if (!fused || (pending && pendingCoefficients[0] == heldCoefficients[0])) {
        applySynthesisUpdate();
    }
    if (!fused) {
        WarpedLatticeInverse::processPair(*inverseFilters[0], *inverseFilters[1], x1, x2);
        split = false;
        return;
    }
    if (pending) {
        if (glideScheduled) {
            pass<true, true>(x1, x2);
        } else {
            pass<true, false>(x1, x2);
        }
    } else {
        if (glideScheduled) {
            pass<false, true>(x1, x2);
        } else {
            pass<false, false>(x1, x2);
        }
    }
    pending = false;
    glideScheduled = false;
    split = true;
}

void StereoLatticeChain::synthesis(double& x1, double& x2) {
    WarpedLatticeSynthesis& first = *synthesisFilters[0];
    WarpedLatticeSynthesis& second = *synthesisFilters[1];
    if (!split) {
        WarpedLatticeSynthesis::processPair(first, second, x1, x2);
        return;
    }
    split = false;
    x1 = first.lastOutput = first.gainCompensation * (x1 + feedback[0]);
    x2 = second.lastOutput = second.gainCompensation * (x2 + feedback[1]);
    pending = true;
    pendingOutput[0] = x1;
    pendingOutput[1] = x2;
    pendingWarp[0] = first.warp;
    pendingWarp[1] = second.warp;
    pendingStages = first.stages;
    pendingCoefficients[0] = first.current;
    pendingCoefficients[1] = second.current;
}

void StereoLatticeChain::updateSynthesisCoefficients(double warp1, double resonance1, double warp2,
                                                     double resonance2) {
    // A glide not yet run goes first, as it would have.
    applySynthesisUpdate();
    glideScheduled = true;
    glideWarp[0] = warp1;
    glideWarp[1] = warp2;
    glideResonance[0] = resonance1;
    glideResonance[1] = resonance2;
}

void StereoLatticeChain::applySynthesisUpdate() {
    if (!glideScheduled) {
        return;
    }
    glideScheduled = false;
    holdCoefficients();
    WarpedLatticeSynthesis::updateCoefficientsPair(*synthesisFilters[0], *synthesisFilters[1], glideWarp[0],
                                                   glideResonance[0], glideWarp[1], glideResonance[1]);
}

void StereoLatticeChain::holdCoefficients() {
    if (!pending) {
        return;
    }
    for (int c = 0; c < 2; ++c) {
        if (pendingCoefficients[c] != heldCoefficients[c]) {
            // The update reads coefficients 0..N-2; N of them is plenty.
            std::copy(pendingCoefficients[c], pendingCoefficients[c] + pendingStages, heldCoefficients[c]);
            pendingCoefficients[c] = heldCoefficients[c];
        }
    }
}

void StereoLatticeChain::settle() {
    if (pending) {
        pending = false;
        WarpedLatticeSynthesis& first = *synthesisFilters[0];
        WarpedLatticeSynthesis& second = *synthesisFilters[1];
        const double* p1 = previousState(first);
        const double* p2 = previousState(second);
        double* q1 = nextState(first);
        double* q2 = nextState(second);
        const double* k1 = pendingCoefficients[0];
        const double* k2 = pendingCoefficients[1];
        const DoublePair lambda = pairOf(pendingWarp[0], pendingWarp[1]);
        const DoublePair dither = pairOf(first.dither, second.dither);
        const DoublePair y = pairOf(pendingOutput[0], pendingOutput[1]);

        DoublePair below = y + lambda * loadPair(p1, p2, 0);
        storePair(q1, q2, 0, below);
        DoublePair u = y;
        for (int32_t j = 1; j < pendingStages; ++j) {
            const DoublePair k = loadPair(k1, k2, j - 1);
            const DoublePair q = loadPair(p1, p2, j - 1) - lambda * below;
            below = q + lambda * loadPair(p1, p2, j) - u * k + dither;
            storePair(q1, q2, j, below);
            u = u - q * k;
        }
        for (WarpedLatticeSynthesis* filter : synthesisFilters) {
            filter->dither = -filter->dither;
            filter->bufferToggle = !filter->bufferToggle;
        }
    }
    // The glide runs after the update it follows.
    applySynthesisUpdate();
}

// One pass over the stages, with up to four chains side by side:
// - the inverse filters on this sample's input;
// - with Pending, the previous sample's synthesis state update, with that
//   sample's warp and coefficients;
// - with Glide, the scheduled synthesis glide and its gain compensation sum,
//   as WarpedLatticeSynthesis::updateCoefficients runs them;
// - the synthesis feedback sums of this sample, from the state the update
//   makes (or the state in place) and the coefficients in force after the glide.
template <bool Pending, bool Glide> void StereoLatticeChain::pass(double& x1, double& x2) {
    const InverseStages stage(*inverseFilters[0], *inverseFilters[1]);
    WarpedLatticeSynthesis& first = *synthesisFilters[0];
    WarpedLatticeSynthesis& second = *synthesisFilters[1];
    const int32_t n = first.stages;

    // The glide's warp and resonance steps come first, as in `glide`.
    if constexpr (Glide) {
        for (int c = 0; c < 2; ++c) {
            WarpedLatticeSynthesis& filter = *synthesisFilters[c];
            const double w = glideWarp[c];
            const double r = glideResonance[c];
            filter.warp = w + (filter.warp - w) * WarpedLatticeSynthesis::kGlideRetention;
            filter.resonance = r + (filter.resonance - r) * WarpedLatticeSynthesis::kGlideRetention;
        }
    }
    double* k1 = first.current;
    double* k2 = second.current;
    const double* g1 = first.target;
    const double* g2 = second.target;
    const DoublePair s = pairOf(first.smoothing, second.smoothing);
    const DoublePair pull = (1.0 - s) * pairOf(first.resonance, second.resonance);
    const DoublePair lambda = pairOf(first.warp, second.warp);
    if constexpr (Glide) {
        const DoublePair warpGain = 1.0 - lambda * lambda;
        first.warpGain = warpGain[0];
        second.warpGain = warpGain[1];
    }
    const DoublePair a = pairOf(first.warpGain, second.warpGain);
    DoublePair f = -lambda;
    DoublePair product = pairOf(1.0, 1.0);
    DoublePair sum = pairOf(0.0, 0.0);

    // The previous sample's state (read) and the new state (written by the update).
    const double* p1 = previousState(first);
    const double* p2 = previousState(second);
    double* q1 = nextState(first);
    double* q2 = nextState(second);
    const double* h1 = pendingCoefficients[0];
    const double* h2 = pendingCoefficients[1];
    const DoublePair heldLambda = pairOf(pendingWarp[0], pendingWarp[1]);
    const DoublePair dither = pairOf(first.dither, second.dither);
    const DoublePair y = pairOf(pendingOutput[0], pendingOutput[1]);

    DoublePair e = pairOf(x1, x2);
    DoublePair u = e;
    if (n > 0) {
        stage.run(0, e, u);
    }

    // Stage 0. A glide touches only the stages in use.
    DoublePair heldK = loadPair(k1, k2, 0); // coefficient before the glide
    DoublePair k = heldK;                   // coefficient after it
    if constexpr (Glide) {
        if (n > 0) {
            k = s * heldK + pull * loadPair(g1, g2, 0);
            storePair(k1, k2, 0, k);
            const DoublePair tmp = f - product * k;
            sum = sum + f * k;
            product = product - f * k;
            f = -lambda * tmp;
        }
    }
    DoublePair state = loadPair(p1, p2, 0);
    DoublePair w = y;
    if constexpr (Pending) {
        state = y + heldLambda * state;
        storePair(q1, q2, 0, state);
    }
    DoublePair m = a * state;
    DoublePair t = k * m;
    DoublePair tBefore = pairOf(0.0, 0.0);

    for (int32_t j = 1; j < n; ++j) {
        stage.run(j, e, u);

        const DoublePair kBefore = k;
        const DoublePair heldKBefore = heldK;
        heldK = loadPair(k1, k2, j);
        k = heldK;
        if constexpr (Glide) {
            k = s * heldK + pull * loadPair(g1, g2, j);
            storePair(k1, k2, j, k);
            const DoublePair tmp = f - product * k;
            sum = sum + f * k;
            product = product - f * k;
            f = -lambda * tmp;
        }

        if constexpr (Pending) {
            // Without a glide the update's coefficients may have been held apart;
            // with one they are those in place before it.
            const DoublePair h = Glide ? heldKBefore : loadPair(h1, h2, j - 1);
            const DoublePair q = loadPair(p1, p2, j - 1) - heldLambda * state;
            state = q + heldLambda * loadPair(p1, p2, j) - w * h + dither;
            storePair(q1, q2, j, state);
            w = w - q * h;
        } else {
            state = loadPair(p1, p2, j);
        }

        const DoublePair mj = a * state - lambda * (m + kBefore * tBefore);
        const DoublePair tj = t + k * mj;
        tBefore = t;
        t = tj;
        m = mj;
    }

    if constexpr (Glide) {
        const DoublePair g = 1.0 / (1.0 - sum);
        if (std::isfinite(g[0])) {
            first.gainCompensation = g[0];
        }
        if (std::isfinite(g[1])) {
            second.gainCompensation = g[1];
        }
    }
    if constexpr (Pending) {
        for (WarpedLatticeSynthesis* filter : synthesisFilters) {
            filter->dither = -filter->dither;
            filter->bufferToggle = !filter->bufferToggle;
        }
    }
    x1 = inverseFilters[0]->lastOutput = e[0];
    x2 = inverseFilters[1]->lastOutput = e[1];
    feedback[0] = t[0];
    feedback[1] = t[1];
}
