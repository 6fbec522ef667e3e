#include "dsp/block_collector.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "dsp/rate_sized_buffer.h"

BlockCollector::BlockCollector() : storage(new double[kCapacity]()) {
    buffer = storage.get();
}

void BlockCollector::setSampleRate(double rate) {
    SignalComponent::setSampleRate(rate);
    if (!resizeZeroed(storage, size,
                      slotsForSeconds(kCapacitySeconds, rate, kLargestCapacityRate, kSmallestCapacity))) {
        return;
    }
    buffer = storage.get();
    position = 0;
    length = std::min(length, maxLength());
}

double BlockCollector::process(double input) {
    // After every call the position is below the length (or 0), and the length never
    // exceeds maxLength(), so this write stays inside the buffer even after a shortening.
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
    const std::int64_t slot = (static_cast<std::int64_t>(position) - n) % size;
    return &buffer[slot < 0 ? slot + size : slot];
}

void BlockCollector::setLength(std::int32_t n) {
    length = std::min(n, maxLength());
}

std::int32_t BlockCollector::getLength() {
    return length;
}
