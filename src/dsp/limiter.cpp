#include "dsp/limiter.h"

#include <algorithm>
#include <cmath>
#include <limits>

void Limiter::setSampleRate(double rate) {
    sampleRate = rate;
    detector.setSampleRate(rate);
}

double Limiter::process(double input) {
    return input * gainForPower(input * input);
}

void Limiter::reset() {
    gainReductionDb = 0.0;
    detector.reset();
    detector.setSampleRate(sampleRate);
}

double Limiter::reduce(double levelDb, double threshold) {
    double next = gainReductionDb * kReductionRetention;
    if (levelDb > threshold) {
        const double over = levelDb - threshold;
        const double r = std::min(over, over * (1.0 - inverseRatio));
        next = r + (gainReductionDb - r) * kReductionRetention;
    }
    // A non-finite level would make the reduction NaN for good; the previous
    // reduction stays in force instead.
    if (std::isfinite(next)) {
        gainReductionDb = next;
    }
    return std::pow(10.0, -gainReductionDb / 20.0);
}

double Limiter::gainForPower(double power) {
    const double envelope = detector.follow(std::max(detector.floor, std::fabs(power)));
    // The offset keeps log10 finite for a zero envelope; the sum is formed in single
    // precision. A power beyond the float range counts as the largest float (the
    // narrowing conversion is undefined for such values).
    const double narrowable = std::min(envelope, static_cast<double>(std::numeric_limits<float>::max()));
    const float offsetLevel = static_cast<float>(narrowable) + 1e-30f;
    const double levelDb = 10.0 * std::log10(static_cast<double>(offsetLevel));
    lastOutput = reduce(levelDb, thresholdDb) * makeupGain;
    return lastOutput;
}

double Limiter::gainForPowerSmoothed(double power) {
    smoothedThresholdDb = kGlide * thresholdDb + (1.0 - kGlide) * smoothedThresholdDb;
    smoothedMakeup = kGlide * makeupGain + (1.0 - kGlide) * smoothedMakeup;
    const double envelope = detector.follow(std::max(detector.floor, std::fabs(power)));
    // A zero envelope gives -inf dB, which simply compares below the threshold.
    const double levelDb = 10.0 * std::log10(envelope);
    lastOutput = reduce(levelDb, smoothedThresholdDb) * smoothedMakeup;
    return lastOutput;
}

void Limiter::setCeiling(double ceilingDb) {
    smoothedThresholdDb = thresholdDb; // the glide starts from the old threshold
    const double fullMargin = std::log10(std::sqrt(2.0));
    double margin = fullMargin;
    if (!(attackTime > 0.05 && releaseTime > 0.05)) {
        // Negative times count as zero, so the margin never becomes NaN.
        const double meanTime = std::sqrt(std::max(0.0, attackTime * releaseTime));
        margin = fullMargin * std::sqrt(20.0 * std::min(meanTime, 0.05));
    }
    thresholdDb = ceilingDb - 20.0 * margin;
    setRelease(releaseTime);
    detector.setAttack(std::pow(10.0, thresholdDb / 20.0), attackTime);
    detector.floor = detector.resetValue = std::pow(10.0, (thresholdDb - 0.2) / 10.0);
}

void Limiter::setRelease(double seconds) {
    releaseTime = seconds;
    const double reference = std::pow(10.0, thresholdDb / 20.0);
    detector.level = reference;
    detector.releaseTime = seconds;
    detector.releaseCoefficient =
        seconds > 0.0 ? std::pow(reference * reference, 2.0 / (seconds * detector.sampleRate)) : 0.0;
}

void Limiter::retime() {
    detector.setAttack(std::pow(10.0, thresholdDb / 20.0), attackTime);
    setRelease(releaseTime);
}

void Limiter::configureForFeedback() {
    ratio = 100.0;
    inverseRatio = 0.01;
    attackTime = 0.0; // zero times give a zero margin: the threshold is the ceiling itself
    releaseTime = 0.0;
    setCeiling(-6.0);
    attackTime = 0.002;
    detector.setAttack(std::pow(10.0, thresholdDb / 20.0), attackTime);
    setRelease(0.2);
}
