#pragma once

#include "dsp/envelope_follower.h"
#include "dsp/signal_component.h"

// Feed-forward gain computer on signal power. The embedded follower tracks the power
// (never below its floor); its level in dB is compared with the threshold:
//   r = min(over, over * (1 - inverseRatio)),  over = levelDb - thresholdDb > 0
//   gainReductionDb = r + (gainReductionDb - r) * 0.7   (below threshold: * 0.7)
//   gain = 10^(-gainReductionDb / 20) * makeupGain
// The smoothed variant glides threshold and makeup by 1 % per call toward their set values.
class Limiter final : public SignalComponent {
public:
    static constexpr double kReductionRetention = 0.7; // per call
    static constexpr double kGlide = 0.01;             // per call, smoothed variant

    Limiter() = default;

    // [ui thread] Stores the rate for the limiter and its detector.
    void setSampleRate(double rate) override;
    // [audio thread] input * gainForPower(input^2); the gain stays in lastOutput.
    double process(double input) override;
    // [audio thread] Clears the reduction and restarts the detector at its reset value.
    void reset() override;

    // [audio thread] Linear gain for a power p.
    double gainForPower(double power);
    // [audio thread] Linear gain for a power p, with threshold and makeup gliding to their
    // set values (the engine calls this once per sample on the feedback signals' mean power).
    double gainForPowerSmoothed(double power);
    // [ui thread] Places the threshold 3 dB (less for attack and release times under 50 ms)
    // below the ceiling, and derives the detector's coefficients and floor from it.
    void setCeiling(double ceilingDb);
    // [ui thread] Release time in seconds for the detector, referred to the threshold level.
    void setRelease(double seconds);

    // [ui thread] The feedback limiter's configuration: ratio 100, ceiling -6 dB with zero
    // times (threshold -6 dB, detector floor 10^-0.62, about 0.24), attack 2 ms, release 0.2 s.
    void configureForFeedback();
    // [ui thread] The detector's coefficients again from the set times, after a
    // rate change.
    void retime();

    EnvelopeFollower detector;          // level detector on power
    double gainReductionDb = 0.0;       // smoothed reduction, dB
    double thresholdDb = -12.0;         // power level in dB (10 log10)
    double makeupGain = 1.0;            // linear output factor
    double ratio = 1.0;                 // as configured; the processing reads inverseRatio
    double inverseRatio = 0.0;          // 1 / ratio
    double smoothedThresholdDb = -12.0; // per-call glide of thresholdDb
    double smoothedMakeup = 0.0;        // per-call glide of makeupGain
    double attackTime = 0.0;            // seconds
    double releaseTime = 0.0;           // seconds

private:
    double reduce(double levelDb, double threshold);
};
