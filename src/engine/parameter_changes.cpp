// What a parameter change reconfigures beyond the parameter block, which the
// engine reads on its own at its rates. A change may come from any thread (the
// audio thread too, for host automation): nothing here takes a lock, waits or
// allocates.

#include "engine/engine.h"

void Engine::parameterChanged(int index) {
    using namespace param;
    switch (index) {
    case kSmoothing:
        for (WarpedLatticeFilter* lattice : lattices()) {
            lattice->setSmoothingTime(mapped(kSmoothing));
        }
        break;
    case kDecimation:
        // The unmodulated period; the next control step adds the modulation.
        for (SampleHoldDecimator& decimator : decimators) {
            decimator.setPeriod(kLongestHold * mapped(kDecimation));
        }
        break;
    case kFilterType:
    case kCutoff:
    case kResonance:
        requestFeedbackDesign();
        break;
    case kEnvAttack:
        envelope.setAttackTime(mapped(kEnvAttack));
        break;
    case kEnvRelease:
        envelope.setReleaseTime(mapped(kEnvRelease));
        break;
    case kLfo1Shape:
    case kLfo2Shape: {
        // A shape index outside the list leaves the table as it was.
        const float value = stored(index);
        const int shape =
            value >= 0.0f && value < static_cast<float>(kShapeCount) ? static_cast<int>(value) : -1;
        (index == kLfo1Shape ? lfo1 : lfo2).setShape(shape);
        break;
    }
    default:
        break;
    }
}
