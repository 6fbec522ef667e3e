#include <cmath>

#include "engine/engine.h"

Engine::Engine(const SharedFloat* values_, const SharedFloat* engineValues_, HostTimeSource* timeSource_)
    : values(values_), engineValues(engineValues_), timeSource(timeSource_) {}

void Engine::initEngine() {
    registry = {&feedbackFilters[0],
                &feedbackFilters[1],
                &lfo1,
                &lfo2,
                &feedbackDelays[0],
                &feedbackDelays[1],
                &aSections[0],
                &aSections[1],
                &sSections[0],
                &sSections[1],
                &bufferRateStages[0],
                &bufferRateStages[1],
                &decimators[0],
                &decimators[1],
                &dcBlockers[0],
                &dcBlockers[1],
                &envelope,
                &limiter,
                &collector};
    const double rate = workingSampleRate;
    for (SignalComponent* component : registry) {
        component->setSampleRate(rate);
        component->reset();
    }

    const FilterDesign initialDesign{1000.0f, 1.0f, 1.0f, 1.0f, false, true};
    for (Biquad& filter : feedbackFilters) {
        filter.design(0, initialDesign);
    }

    // Both LFOs stand still until the first processing call sets their rates.
    for (WavetableLfo* lfo : {&lfo1, &lfo2}) {
        lfo->setShape(WavetableLfo::kTriangle);
        lfo->frequency = 0.0;
        lfo->increment = 0;
    }

    collector.setLength(512);

    // The lattices glide once per control step, so they are given a quarter
    // of the rate as their own.
    const double latticeRate = rate / kLatticeRateDivisor;
    const double smoothing = std::pow(0.5, 1.0 / (latticeRate * 0.001));
    for (WarpedLatticeFilter* lattice : lattices()) {
        lattice->setCoefficientsNow(coefficients, 50);
        lattice->setSampleRate(latticeRate);
        lattice->smoothing = smoothing;
    }

    for (SampleHoldDecimator& decimator : decimators) {
        decimator.setPeriod(7.4);
    }

    envelope.setAttack(0.5, 0.09);

    // The feedback limiter: ratio 100 under a ceiling of -6 dB.
    limiter.configureForFeedback();
}

void Engine::setSampleRate(float newRate) {
    using namespace param;
    workingSampleRate = newRate;
    const double rate = newRate;
    for (SignalComponent* component : registry) {
        component->setSampleRate(rate);
    }
    for (WarpedLatticeFilter* lattice : lattices()) {
        lattice->setSampleRate(rate / kLatticeRateDivisor);
        lattice->setSmoothingTime(mapped(kSmoothing));
    }
    envelope.setAttackTime(mapped(kEnvAttack));
    envelope.setReleaseTime(mapped(kEnvRelease));
    limiter.retime();
    requestFeedbackDesign();
}

void Engine::resume() {
    analyser.reset();
    for (SignalComponent* component : registry) {
        component->reset();
    }
    for (double& c : coefficients) {
        c = 0.0;
    }
}
