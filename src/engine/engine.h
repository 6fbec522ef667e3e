#pragma once

// The signal-processing engine: every component of the chain, the host-time
// snapshot and the coefficient buffer, inline in the effect object. The rings
// whose length is a time (the feedback delays, four seconds; the block
// collector, one second) are sized when the rate is set; nothing is allocated
// while processing. Everything runs at the host's rate.
//
// Per sample: mono mix plus feedback is collected into analysis blocks; each
// channel runs saturation -> buffer-rate stage -> A section (whitening) ->
// decimator -> S section (envelope re-imposed); the wet signal is mixed with
// the dry input and fed back, DC-blocked and inverted, through a delay and a
// filter under a limiter. Every 8 samples the control step moves the targets.

#include <array>
#include <atomic>
#include <cstdint>

#include "common/parameter_table.h"
#include "dsp/biquad.h"
#include "dsp/block_collector.h"
#include "dsp/crossfade_delay.h"
#include "dsp/cubic_delay.h"
#include "dsp/dc_blocker.h"
#include "dsp/envelope_follower.h"
#include "dsp/limiter.h"
#include "dsp/lpc_analyser.h"
#include "dsp/sample_hold_decimator.h"
#include "dsp/stereo_lattice_chain.h"
#include "dsp/warped_lattice.h"
#include "dsp/wavetable_lfo.h"
#include "engine/host_time.h"
#include "engine/shared_number.h"

class Engine {
public:
    static constexpr int kControlInterval = 8; // samples per control step
    static constexpr int kMaxStages = 70;      // lattice stages the engine asks for at most
    static constexpr int kCoefficientCount = 100;
    static constexpr int kMaxAnalysisLength = 256;
    static constexpr int kRegistrySize = 19;
    static constexpr double kBypassSeconds = 0.01;
    static constexpr double kLongestTail = 30.0;
    // Samples a decimator holds at full decimation.
    static constexpr double kLongestHold = 64.0;
    // The lattices glide once per control step and count their smoothing time
    // at a quarter of the host's rate (11025 Hz at 44.1 kHz).
    static constexpr double kLatticeRateDivisor = 4.0;
    // The buffer-rate window is 1024 samples at full "Block Size" at this rate,
    // the same length of time at every rate.
    static constexpr float kWindowReferenceRate = 44100.0f;
    static constexpr float kWindowSamples = 1024.0f;
    // The feedback filters' highest cutoff, as a part of the band at 44.1 kHz
    // and below (22000 of 22050 Hz), in Hz above.
    static constexpr float kHighestCutoff = param::kHighestCutoffHz;
    static constexpr float kHighestCutoffRate = 44100.0f;
    // The modulated cutoff's floor, and the band the control step retunes the
    // filters in: a design at or above 0.49 of the rate keeps the last one.
    static constexpr double kLowestCutoff = 80.0;
    static constexpr double kLowestRetune = 0.01;
    static constexpr double kRetuneBand = 0.49;
    static constexpr double kFeedbackRunawayLevel = 1e8; // see the feedback return

    // `values` and `engineValues` are the effect's parameter block (stored and
    // derived values), read without locks: each entry is one float written whole.
    Engine(const SharedFloat* values, const SharedFloat* engineValues, HostTimeSource* timeSource);
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // [construction] Fills the registry and gives every component the working
    // rate and its fixed settings.
    void initEngine();
    // [ui thread, while processing is suspended; allocates] The host's rate:
    // every component runs at it (the lattices at a quarter of it), and what
    // each derives from a time or a frequency is derived again. The delay
    // rings and the block collector are sized for it. Read
    // `workingSampleRate` for the rate in force.
    void setSampleRate(float rate);
    // [ui thread, host's resume] Clears every component's signal state.
    void resume();
    // [audio thread] One host block; replacing overwrites the outputs, else adds to them.
    void processAudio(const float* const* inputs, float* const* outputs, std::int32_t sampleFrames,
                      bool replacing);

    void updateHostTime();
    void updateDelayTime();
    void controlStep();

    // [any thread; never waits or allocates] Parameter `index` was stored: the
    // components it configures follow (lattice smoothing, decimator period,
    // envelope times, LFO shapes, filter designs).
    void parameterChanged(int index);

    // [any thread] A soft bypass, on or off: a short crossfade to the dry
    // input (and back) while the chain keeps running.
    void setBypass(bool on) { bypassed = on; }
    // [ui thread] How long the feedback delay is heard after the input stops,
    // to -60 dB, in seconds; kLongestTail when it sustains itself.
    double tailSeconds();

    // [any thread; never waits] "Filter Type", "Cutoff" or "Resonance" changed:
    // both feedback filters get the design of the values in force at once, or,
    // when another thread is designing them at this moment, at the next
    // control step.
    void requestFeedbackDesign();

    // The engine value of a synced time, rounded up to the beat grid of grid value v.
    float syncRound(float seconds, float gridValue) const;

    SharedFloat workingSampleRate{44100.0f}; // [ui thread writes] the host's rate
    HostTimeSnapshot hostTime;

    WavetableLfo lfo1, lfo2;
    EnvelopeFollower envelope;
    Limiter limiter;
    std::array<Biquad, 2> feedbackFilters;
    std::array<CrossfadeDelay, 2> bufferRateStages;
    std::array<CubicDelay, 2> feedbackDelays;
    std::array<WarpedLatticeSynthesis, 2> sSections;
    std::array<WarpedLatticeInverse, 2> aSections;
    std::array<SampleHoldDecimator, 2> decimators;
    std::array<DcBlocker, 2> dcBlockers;
    BlockCollector collector;
    LpcAnalyser analyser;
    double coefficients[kCoefficientCount] = {};
    std::array<SignalComponent*, kRegistrySize> registry = {};

    // Both channels' A and S sections side by side, pipelined across samples.
    StereoLatticeChain latticeChain{aSections[0], aSections[1], sSections[0], sSections[1]};
    // [set between processing calls] true: the lattices run through
    // `latticeChain`; false: every component's own `process`, one channel after
    // the other. Both give the same output and state bit for bit; the second is
    // the plain reference the first is checked against.
    bool pairedLattices = true;

private:
    // The parameter block is read only through these two: one float each, which
    // the setter on any thread writes whole.
    float stored(int index) const { return values[index]; }
    float mapped(int index) const { return engineValues[index]; }
    float normalized(int index) const { return param::clampUnit(stored(index)); }
    void computeCallValues();
    void crossfadeToDry(float dryLeft, float dryRight, double step, float& left, float& right);
    std::array<WarpedLatticeFilter*, 4> lattices() {
        return {&aSections[0], &aSections[1], &sSections[0], &sSections[1]};
    }
    // [any thread; never waits] Designs both feedback filters from the
    // parameters when a request is outstanding and nobody else is designing.
    void serveFeedbackDesign();
    // The feedback filters' design type and record as the parameters give them,
    // before the cutoff is held below the Nyquist frequency of low rates.
    FilterDesign feedbackDesignOfParameters(int& type) const;
    bool feedbackDesignPending() const {
        return feedbackDesignRequests.load(std::memory_order_relaxed) !=
               feedbackDesignsServed.load(std::memory_order_relaxed);
    }
    void runSample(float left, float right, float& outLeft, float& outRight);
    void runSamplePaired(float left, float right, float& outLeft, float& outRight);
    // Per-sample steps up to the channel chains (x: saturated input plus feedback),
    // and from the wet signal on (output and feedback send).
    void chainInput(double dryLeft, double dryRight, double x[2]);
    void chainOutput(double dryLeft, double dryRight, const double wet[2], float& outLeft, float& outRight);

    const SharedFloat* values;
    const SharedFloat* engineValues;
    HostTimeSource* timeSource;

    // Held for one processing call.
    int stages = 1;
    std::int32_t blockLength = 512;
    float routeAmount[param::kRouteCount] = {};
    float stereoSign1 = 1.0f, stereoSign2 = 1.0f;
    float outputGain = 1.0f;
    float mix = 0.5f;

    // The analysis warp of the current control step.
    double analysisWarp = 0.0;

    SharedNumber<bool> bypassed{false}; // [any thread writes]
    double bypassTarget = 0.0;          // this call's: 1 bypassed, 0 not
    double bypassMix = 0.0;             // 0 processed .. 1 dry

    // Design requests made and served; a request is served by a design begun
    // after it was made, so nothing asked for is lost when a design is skipped.
    std::atomic<std::uint32_t> feedbackDesignRequests{0};
    std::atomic<std::uint32_t> feedbackDesignsServed{0};
    std::atomic_flag servingFeedbackDesign; // one server at a time; the others leave it
};
