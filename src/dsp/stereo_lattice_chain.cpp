#include "dsp/stereo_lattice_chain.h"

#include "dsp/lattice_lanes.h"

// Built from the one-stage kernels of lattice_kernels.h, on both channels at
// once, so each filter gets the very operations of its own `process`.

namespace {

using Inverses = lattice::LaneFilters<DoublePair, WarpedLatticeInverse>;
using Syntheses = lattice::LaneFilters<DoublePair, WarpedLatticeSynthesis>;

} // namespace

// Inline, so that the fused pass keeps these values in registers rather
// than receiving them through memory from a call.
inline lattice::StateUpdate<DoublePair> StereoLatticeChain::waitingUpdate() const {
    return {pairOf(pendingWarp[0], pendingWarp[1]),
            pairOf(synthesisFilters[0]->dither, synthesisFilters[1]->dither),
            pairOf(pendingOutput[0], pendingOutput[1])};
}

bool StereoLatticeChain::fusable() const {
    const int32_t n = synthesisFilters[0]->stages;
    return synthesisFilters[1]->stages == n && inverseFilters[0]->stages == n &&
           inverseFilters[1]->stages == n && inverseFilters[0] != inverseFilters[1] &&
           synthesisFilters[0] != synthesisFilters[1];
}

void StereoLatticeChain::inverse(double& x1, double& x2) {
    const bool fused = fusable();
    if (!fused || (pending && pendingStages != synthesisFilters[0]->stages)) {
        settle();
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
    // The waiting update reads the coefficients the glide is about to move.
    completeUpdate();
    WarpedLatticeSynthesis::updateCoefficientsPair(*synthesisFilters[0], *synthesisFilters[1], glideWarp[0],
                                                   glideResonance[0], glideWarp[1], glideResonance[1]);
}

void StereoLatticeChain::settle() {
    completeUpdate();
    applySynthesisUpdate();
}

void StereoLatticeChain::completeUpdate() {
    if (!pending) {
        return;
    }
    pending = false;
    const Syntheses synthesis{synthesisFilters[0], synthesisFilters[1]};
    lattice::updateState(waitingUpdate(), lattice::previousStateOf(synthesis),
                         lattice::nextStateOf(synthesis), lattice::coefficientsOf<const double>(synthesis),
                         pendingStages);
    lattice::advance(synthesis);
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
    const lattice::InverseStage<DoublePair> stage =
        lattice::inverseStageOf(Inverses{inverseFilters[0], inverseFilters[1]});
    const Syntheses synthesis{synthesisFilters[0], synthesisFilters[1]};
    const int32_t n = synthesis.stages();

    if constexpr (Glide) {
        lattice::glideWarpAndResonance(synthesis, pairOf(glideWarp[0], glideWarp[1]),
                                       pairOf(glideResonance[0], glideResonance[1]));
    }
    const DoublePair lambda = synthesis.read(&WarpedLatticeSynthesis::warp);
    const DoublePair a = synthesis.read(&WarpedLatticeSynthesis::warpGain);
    const lattice::CoefficientGlide<DoublePair> glide = lattice::coefficientGlideOf(synthesis);
    lattice::LoopGain<DoublePair> gain(lambda);
    const lattice::LaneArray<DoublePair> coefficients = glide.current;

    // The previous sample's state (read) and the new state (written by the update).
    const lattice::LaneArray<DoublePair, const double> previous = lattice::previousStateOf(synthesis);
    const lattice::LaneArray<DoublePair> next = lattice::nextStateOf(synthesis);
    lattice::StateUpdate<DoublePair> update = waitingUpdate();

    DoublePair e = pairOf(x1, x2);
    DoublePair u = e;
    if (n > 0) {
        stage.run(0, e, u);
    }

    // Stage 0. A glide touches only the stages in use. The update runs with
    // the coefficients in force before the glide, the feedback sums after it.
    DoublePair oldK = coefficients.load(0);
    DoublePair k = oldK;
    if constexpr (Glide) {
        if (n > 0) {
            k = glide.step(0, oldK);
            gain.add(k);
        }
    }
    DoublePair state = previous.load(0);
    if constexpr (Pending) {
        state = update.first(state);
        next.store(0, state);
    }
    lattice::FeedbackSum<DoublePair> sums(a, state, k);

    for (int32_t j = 1; j < n; ++j) {
        stage.run(j, e, u);

        const DoublePair kBefore = k;
        const DoublePair oldKBefore = oldK;
        oldK = coefficients.load(j);
        k = oldK;
        if constexpr (Glide) {
            k = glide.step(j, oldK);
            gain.add(k);
        }

        if constexpr (Pending) {
            state = update.step(previous.load(j - 1), previous.load(j), oldKBefore);
            next.store(j, state);
        } else {
            state = previous.load(j);
        }
        sums.step(a, lambda, state, kBefore, k);
    }

    if constexpr (Glide) {
        lattice::setCompensation(synthesis, gain.compensation());
    }
    if constexpr (Pending) {
        lattice::advance(synthesis);
    }
    x1 = inverseFilters[0]->lastOutput = e[0];
    x2 = inverseFilters[1]->lastOutput = e[1];
    feedback[0] = sums.t[0];
    feedback[1] = sums.t[1];
}
