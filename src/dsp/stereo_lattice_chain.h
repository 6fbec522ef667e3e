#pragma once

#include <cstdint>

#include "dsp/lattice_kernels.h"
#include "dsp/warped_lattice.h"

// The engine's stereo lattice work, both channels side by side and pipelined
// across samples. A synthesis step splits into its feedback sum t (a function
// of the previous state only), its output y = G (x + t) and its state update
// (a function of y). Nothing else reads the synthesis state, so the update of
// sample n waits and runs in one pass with sample n+1's inverse filters and
// feedback sums: three latency-bound chains share the pass, and the feedback
// sum takes each new state entry as the update makes it. Every filter's
// results and state are bit for bit those of its own `process`, called in turn
// per sample; `settle` completes a waiting update whenever the filters must be
// whole (end of a host block).
//
// The synthesis coefficient glide of the control step (`updateCoefficients`)
// joins the same pass, where its serial gain-compensation sum runs beside the
// longer update chain instead of on its own.
//
// Per sample the caller runs `inverse` on the chain's input, its own stages
// (the decimators), then `synthesis`. The synthesis glide goes through
// `updateSynthesisCoefficients`; before it loads new synthesis targets or
// stage counts it calls `applySynthesisUpdate`. A change of stage count is
// seen here and settles first. Filters whose stage counts differ take the
// per-object path.
class StereoLatticeChain final {
public:
    StereoLatticeChain(WarpedLatticeInverse& inverse1, WarpedLatticeInverse& inverse2,
                       WarpedLatticeSynthesis& synthesis1, WarpedLatticeSynthesis& synthesis2)
        : inverseFilters{&inverse1, &inverse2}, synthesisFilters{&synthesis1, &synthesis2} {}
    StereoLatticeChain(const StereoLatticeChain&) = delete;
    StereoLatticeChain& operator=(const StereoLatticeChain&) = delete;

    // [audio thread] Both inverse filters on x1, x2 in place; the waiting
    // synthesis update and both feedback sums run in the same pass.
    void inverse(double& x1, double& x2);
    // [audio thread] Both synthesis outputs for x1, x2 in place; their state
    // updates wait for the next `inverse` or `settle`.
    void synthesis(double& x1, double& x2);
    // [audio thread] Runs a waiting state update on its own, and a scheduled glide.
    void settle();
    // [audio thread] synthesis1.updateCoefficients(warp1, resonance1) and
    // synthesis2.updateCoefficients(warp2, resonance2), run at the next `inverse`.
    void updateSynthesisCoefficients(double warp1, double resonance1, double warp2, double resonance2);
    // [audio thread] Runs a scheduled glide now, after a waiting state update
    // (which reads the coefficients the glide moves).
    void applySynthesisUpdate();

    bool updatePending() const { return pending; }

private:
    bool fusable() const;
    // Runs the waiting state update on its own.
    void completeUpdate();
    lattice::StateUpdate<DoublePair> waitingUpdate() const;
    template <bool Pending, bool Glide> void pass(double& x1, double& x2);

    WarpedLatticeInverse* inverseFilters[2];
    WarpedLatticeSynthesis* synthesisFilters[2];

    // Between `inverse` and `synthesis`: the feedback sums, when split off.
    bool split = false;
    double feedback[2] = {};

    // The waiting update: output, warp and stage count it runs with. Its
    // coefficients are the synthesis filters' own: a glide outside the pass
    // completes the update first.
    bool pending = false;
    double pendingOutput[2] = {};
    double pendingWarp[2] = {};
    int32_t pendingStages = 0;

    // The scheduled synthesis glide: target warps and resonances.
    bool glideScheduled = false;
    double glideWarp[2] = {};
    double glideResonance[2] = {};
};
