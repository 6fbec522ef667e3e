#include "dsp/block_collector.h"

#include <algorithm>

double BlockCollector::process(double input) {
    // After every call the position is below the length (or 0), and the length never
    // exceeds kMaxLength, so this write stays inside the buffer even after a shortening.
    buffer[position] = input;
    position += 1;
    if (position < length) {
        lastOutput = 0.0;
    } else {
        position = 0;
        lastOutput = 1.0;
    }
    return lastOutput;
}

void BlockCollector::reset() {
    position = 0;
    lastOutput = 0.0;
    buffer[0] = 0.0;
}

double* BlockCollector::tap(std::int32_t n) {
    const std::int64_t slot = (static_cast<std::int64_t>(position) - n) % kCapacity;
    return &buffer[slot < 0 ? slot + kCapacity : slot];
}

void BlockCollector::setLength(std::int32_t n) {
    length = std::min(n, kMaxLength);
}

std::int32_t BlockCollector::getLength() {
    return length;
}
