#include "dsp/block_collector.h"

#include <algorithm>
#include <cmath>
#include <new>

BlockCollector::BlockCollector() : storage(new double[kCapacity]()) {
    buffer = storage.get();
}

void BlockCollector::setSampleRate(double rate) {
    SignalComponent::setSampleRate(rate);
    const double slots = kCapacitySeconds * std::min(rate, kLargestCapacityRate);
    const std::int32_t wanted =
        slots >= kSmallestCapacity ? static_cast<std::int32_t>(std::ceil(slots)) : kSmallestCapacity;
    if (wanted == size) {
        return;
    }
    std::unique_ptr<double[]> resized(new (std::nothrow) double[static_cast<std::size_t>(wanted)]());
    if (resized == nullptr) {
        return;
    }
    storage = std::move(resized);
    buffer = storage.get();
    size = wanted;
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
