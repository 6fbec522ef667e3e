#include <algorithm>
#include <cmath>

#include "engine/engine.h"
#include "engine/processing_fp_state.h"

namespace {

// One bad sample from the host must not leave the lattices, delays and
// filters producing NaN for ever: non-finite input enters the chain as 0.
inline float finiteOrZero(float x) {
    return std::isfinite(x) ? x : 0.0f;
}

inline double clipUnit(double v) {
    if (v >= 1.0) {
        return 1.0;
    }
    if (v <= -1.0) {
        return -1.0;
    }
    return v;
}

} // namespace

// The soft bypass: the output glides between the processed and the dry input
// over kBypassSeconds; fully bypassed it is the dry input itself, and the
// chain runs on, so that coming back is seamless.
void Engine::crossfadeToDry(float dryLeft, float dryRight, double step, float& left, float& right) {
    bypassMix = bypassMix < bypassTarget ? std::min(bypassMix + step, bypassTarget)
                                         : std::max(bypassMix - step, bypassTarget);
    if (bypassMix >= 1.0) {
        left = dryLeft;
        right = dryRight;
        return;
    }
    left = static_cast<float>(left + bypassMix * (static_cast<double>(dryLeft) - left));
    right = static_cast<float>(right + bypassMix * (static_cast<double>(dryRight) - right));
}

void Engine::computeCallValues() {
    using namespace param;
    // "# Stages" maps to 1..70 (a host value outside 0..1 held to that range).
    stages = std::clamp(static_cast<int>(mapped(kStages)), 1, kMaxStages);

    for (int i = 0; i < kRouteCount; ++i) {
        const int index = kFirstRoute + i;
        const float depth = 2.0f * normalized(index) - 1.0f;
        routeAmount[i] = index == kEnvToSRes ? 0.0f : depth * kRouteScale[i % kRouteTargets];
    }
    stereoSign1 = normalized(kLfo1Stereo) > 0.5f ? -1.0f : 1.0f;
    stereoSign2 = normalized(kLfo2Stereo) > 0.5f ? -1.0f : 1.0f;

    const float out = normalized(kOut);
    outputGain = out * out * out * out;
    mix = normalized(kMix);
}

void Engine::processAudio(const float* const* inputs, float* const* outputs, std::int32_t sampleFrames,
                          bool replacing) {
    using namespace param;
    updateHostTime();
    // From here on (after the host's time callback, which keeps the host's own state).
    [[maybe_unused]] const ProcessingFpState fpState;
    const float* inLeft = inputs != nullptr ? inputs[0] : nullptr;
    const float* inRight = inputs != nullptr ? inputs[1] : nullptr;
    float* outLeft = outputs != nullptr ? outputs[0] : nullptr;
    float* outRight = outputs != nullptr ? outputs[1] : nullptr;
    updateDelayTime();

    // The analysis block: "Block Size" in seconds at this rate, at most the collector's capacity.
    const float fs = workingSampleRate;
    const float blockSamples = std::min(fs * mapped(kBlockSize), static_cast<float>(collector.maxLength()));
    // Written so that a length that is not a number also gives 1 (converting it would be undefined).
    blockLength = blockSamples >= 1.0f ? static_cast<std::int32_t>(blockSamples) : 1;
    collector.setLength(blockLength);

    const float window = kWindowSamples * normalized(kBlockSize) * (fs / kWindowReferenceRate);
    bufferRateStages[0].setWindow(window);
    bufferRateStages[1].setWindow(window);

    const int spb = hostTime.samplesPerBeat;
    const double ppq = hostTime.songPosition;
    lfo1.setRate(mapped(kLfo1Freq), syncGridValue(stored(kLfo1Sync)), 8.0, spb, ppq, fs);
    lfo2.setRate(mapped(kLfo2Freq), syncGridValue(stored(kLfo2Sync)), 8.0, spb, ppq, fs);

    computeCallValues();

    if (sampleFrames <= 0 || inLeft == nullptr || inRight == nullptr || outLeft == nullptr ||
        outRight == nullptr) {
        return;
    }

    const bool paired = pairedLattices;
    bypassTarget = bypassed ? 1.0 : 0.0;
    const bool bypassing = bypassTarget != 0.0 || bypassMix != 0.0;
    const double bypassStep = 1.0 / (kBypassSeconds * static_cast<double>(workingSampleRate));
    for (std::int32_t start = 0; start < sampleFrames; start += kControlInterval) {
        controlStep();
        const std::int32_t end = std::min(start + kControlInterval, sampleFrames);
        for (std::int32_t i = start; i < end; ++i) {
            float left = 0.0f, right = 0.0f;
            const float dryLeft = finiteOrZero(inLeft[i]);
            const float dryRight = finiteOrZero(inRight[i]);
            if (paired) {
                runSamplePaired(dryLeft, dryRight, left, right);
            } else {
                runSample(dryLeft, dryRight, left, right);
            }
            if (bypassing) {
                crossfadeToDry(dryLeft, dryRight, bypassStep, left, right);
            }
            if (replacing) {
                outLeft[i] = left;
                outRight[i] = right;
            } else {
                outLeft[i] += left;
                outRight[i] += right;
            }
        }
    }
    // The synthesis sections' last state update must not wait beyond the call.
    latticeChain.settle();
}

void Engine::chainInput(double dryLeft, double dryRight, double x[2]) {
    using namespace param;
    const double mono = (dryLeft + dryRight) * 0.5;

    // The unclipped, unlimited feedback of the previous sample feeds the
    // limiter's measurement and the analysis signal.
    const double feedback = normalized(kFeedback);
    const double p1 = feedback * feedbackFilters[0].lastOutput;
    const double p2 = feedback * feedbackFilters[1].lastOutput;
    limiter.gainForPowerSmoothed((p1 * p1 + p2 * p2) * 0.5);
    const double analysisInput = p2 + p1 + mono;

    envelope.process((dryLeft * dryLeft + dryRight * dryRight) * 0.5);

    collector.process(analysisInput);
    if (collector.lastOutput != 0.0) {
        const int analysisLength = std::min(blockLength, kMaxAnalysisLength);
        analyser.analyse(collector.buffer, analysisLength, coefficients, stages, analysisWarp);
        const float aRotation = normalized(kARotate);
        const float sRotation = normalized(kSRotate);
        // A synthesis glide scheduled by this group's control step runs before
        // the new targets arrive, as it would have in the control step itself.
        latticeChain.applySynthesisUpdate();
        aSections[0].setTargetCoefficientsRotated(coefficients, stages, aRotation);
        aSections[1].setTargetCoefficientsRotated(coefficients, stages, aRotation);
        sSections[0].setTargetCoefficientsRotated(coefficients, stages, sRotation);
        sSections[1].setTargetCoefficientsRotated(coefficients, stages, sRotation);
    }

    const double gain = std::sqrt(limiter.lastOutput);
    for (int c = 0; c < 2; ++c) {
        Biquad& filter = feedbackFilters[c];
        filter.process(feedbackDelays[c].lastOutput);
        // A resonant filter whose cutoff is swept every control step can grow
        // without bound although every single design is stable; left alone it
        // reaches infinity and then NaN, and the whole chain stays NaN for good.
        // Far beyond any level a stable filter reaches from this bounded input,
        // its history is cleared instead.
        if (!(std::fabs(filter.lastOutput) < kFeedbackRunawayLevel)) {
            filter.reset();
        }
    }
    const double f1 = clipUnit(gain * feedback * feedbackFilters[0].lastOutput);
    const double f2 = clipUnit(gain * feedback * feedbackFilters[1].lastOutput);

    x[0] = dryLeft + f1;
    x[1] = dryRight + f2;

    const double saturation = normalized(kSaturation);
    if (saturation > 0.0) {
        for (int c = 0; c < 2; ++c) {
            const double v = x[c];
            x[c] = (1.0 + 0.8 * saturation) * v - saturation * v * v * v;
        }
    }
}

void Engine::chainOutput(double dryLeft, double dryRight, const double wet[2], float& outLeft,
                         float& outRight) {
    using namespace param;
    const double m = mix;
    const double g = outputGain;
    outLeft = static_cast<float>((dryLeft + m * (wet[0] - dryLeft)) * g);
    outRight = static_cast<float>((dryRight + m * (wet[1] - dryRight)) * g);

    const double y1 = dcBlockers[0].process(wet[0]);
    const double y2 = dcBlockers[1].process(wet[1]);
    if (normalized(kCrossSwitch) >= 0.5f) {
        feedbackDelays[1].process(-y1);
        feedbackDelays[0].process(-y2);
    } else {
        feedbackDelays[0].process(-y1);
        feedbackDelays[1].process(-y2);
    }
}

void Engine::runSample(float inLeft, float inRight, float& outLeft, float& outRight) {
    const double dryLeft = inLeft;
    const double dryRight = inRight;
    double x[2];
    chainInput(dryLeft, dryRight, x);
    double wet[2];
    for (int c = 0; c < 2; ++c) {
        double v = bufferRateStages[c].process(x[c]);
        v = aSections[c].process(v);
        v = decimators[c].process(v);
        wet[c] = sSections[c].process(v);
    }
    chainOutput(dryLeft, dryRight, wet, outLeft, outRight);
}

// The same steps with both channels' lattices in `latticeChain`. The channels'
// components are separate objects, so running each step for both channels
// before the next step changes no result.
void Engine::runSamplePaired(float inLeft, float inRight, float& outLeft, float& outRight) {
    const double dryLeft = inLeft;
    const double dryRight = inRight;
    double x[2];
    chainInput(dryLeft, dryRight, x);
    double wet[2] = {bufferRateStages[0].process(x[0]), bufferRateStages[1].process(x[1])};
    latticeChain.inverse(wet[0], wet[1]);
    wet[0] = decimators[0].process(wet[0]);
    wet[1] = decimators[1].process(wet[1]);
    latticeChain.synthesis(wet[0], wet[1]);
    chainOutput(dryLeft, dryRight, wet, outLeft, outRight);
}
