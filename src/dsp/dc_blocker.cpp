#include "dsp/dc_blocker.h"

double DcBlocker::process(double input) {
    const double next = poleCoefficient * state + input;
    lastOutput = next - zeroCoefficient * state;
    state = next;
    return lastOutput;
}

void DcBlocker::reset() {
    lastOutput = 0.0;
    state = 0.0;
}
