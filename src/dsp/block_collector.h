#pragma once

#include <cstdint>

#include "dsp/signal_component.h"

// Collects the input into `buffer` from slot 0 and signals (output 1.0, else 0) on the
// sample that completes a block of `length` samples, then starts again at slot 0.
// `position` is the next slot to write; `size` is the fixed capacity.
class BlockCollector : public SignalComponent {
public:
    static constexpr std::int32_t kCapacity = 44100;
    static constexpr std::int32_t kMaxLength = kCapacity - 1;

    BlockCollector() = default;

    // [audio thread] Stores the input; returns 1.0 when the block is complete.
    double process(double input) override;
    // [audio thread] Position 0, last output 0, slot 0 cleared.
    void reset() override;
    // [audio thread] Address of the slot n samples before the next write, (position - n) mod 44100.
    virtual double* tap(std::int32_t n);
    // [audio thread] Block length, at most 44099; a length of 1 or less completes on every sample.
    virtual void setLength(std::int32_t n);
    virtual std::int32_t getLength();

    std::int32_t length = kMaxLength;
    std::int32_t size = kCapacity;
    std::int32_t position = 0;
    double buffer[kCapacity] = {}; // the engine reads the block from slot 0 when it is complete
};
