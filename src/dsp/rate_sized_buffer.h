#pragma once

// Buffers whose length is a time: sized when the host sets the rate (the
// effect is suspended then), never on the audio thread.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <new>

// The slots `seconds` take at `rate`, rates above `largestRate` counted as it,
// and at least `smallest`.
inline std::int32_t slotsForSeconds(double seconds, double rate, double largestRate, std::int32_t smallest) {
    const double slots = seconds * std::min(rate, largestRate);
    return slots >= smallest ? static_cast<std::int32_t>(std::ceil(slots)) : smallest;
}

// Replaces `storage` (of `size` slots) by `wanted` zeroed slots; false, leaving
// both alone, when it already has that size or memory runs out.
inline bool resizeZeroed(std::unique_ptr<double[]>& storage, std::int32_t& size, std::int32_t wanted) {
    if (wanted == size) {
        return false;
    }
    std::unique_ptr<double[]> resized(new (std::nothrow) double[static_cast<std::size_t>(wanted)]());
    if (resized == nullptr) {
        return false;
    }
    storage = std::move(resized);
    size = wanted;
    return true;
}
