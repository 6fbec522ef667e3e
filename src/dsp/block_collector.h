#pragma once

#include <cstdint>
#include <memory>

#include "dsp/signal_component.h"

// Collects the input into `buffer` from slot 0 and signals (output 1.0, else 0) on the
// sample that completes a block of `length` samples, then starts again at slot 0.
// `position` is the next slot to write; `size` is the capacity: one second at the
// component's rate (44100 slots at 44.1 kHz), so a block can last up to a second less
// one sample.
class BlockCollector final : public SignalComponent {
public:
    static constexpr std::int32_t kCapacity = 44100; // at 44.1 kHz
    static constexpr double kCapacitySeconds = 1.0;
    // Rates above this one get its capacity.
    static constexpr double kLargestCapacityRate = 192000.0;
    static constexpr std::int32_t kSmallestCapacity = 2;

    BlockCollector(); // the capacity for 44.1 kHz
    BlockCollector(const BlockCollector&) = delete;
    BlockCollector& operator=(const BlockCollector&) = delete;

    // [ui thread, while processing is suspended; allocates] Stores the rate and sizes the
    // buffer to a second at it; a new buffer starts a new block. When no memory is left the
    // old buffer stays, and with it a shorter longest block.
    void setSampleRate(double rate) override;
    // [audio thread] Stores the input; returns 1.0 when the block is complete.
    double process(double input) override;
    // [audio thread] Position 0, last output 0, slot 0 cleared.
    void reset() override;
    // [audio thread] Address of the slot n samples before the next write, (position - n) mod size.
    virtual double* tap(std::int32_t n);
    // [audio thread] Block length, at most maxLength(); a length of 1 or less completes on
    // every sample.
    virtual void setLength(std::int32_t n);
    virtual std::int32_t getLength();
    std::int32_t maxLength() const { return size - 1; }

    std::int32_t length = kCapacity - 1;
    std::int32_t size = kCapacity;
    std::int32_t position = 0;
    double* buffer = nullptr; // the engine reads the block from slot 0 when it is complete

private:
    std::unique_ptr<double[]> storage;
};
