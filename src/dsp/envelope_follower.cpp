#include "dsp/envelope_follower.h"

#include <cmath>

double EnvelopeFollower::process(double input) {
    follow(std::fabs(input));
    if (lastOutput < kSilence) {
        lastOutput = 0.0;
    }
    return lastOutput;
}

void EnvelopeFollower::reset() {
    lastOutput = resetValue;
}

void EnvelopeFollower::setAttack(double referenceLevel, double seconds) {
    level = referenceLevel;
    attackTime = seconds;
    const double kept = (1.0 - referenceLevel) * (1.0 - referenceLevel);
    attackCoefficient = seconds > 0.0 ? std::pow(kept, 1.0 / (seconds * sampleRate)) : 0.0;
}

void EnvelopeFollower::setAttackTime(double seconds) {
    setAttack(0.5, seconds);
}

void EnvelopeFollower::setReleaseTime(double seconds) {
    level = 0.5;
    releaseTime = seconds;
    releaseCoefficient = seconds > 0.0 ? std::pow(0.25, 2.0 / (seconds * sampleRate)) : 0.0;
}
