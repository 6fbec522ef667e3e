#pragma once

#include <cstdint>

#include "dsp/signal_component.h"

// Slots in each delay ring: four seconds at 44.1 kHz. Both delay classes use
// it, and every ring index is taken modulo this value.
inline constexpr int32_t kDelayCapacity = 176400;

// Two-tap crossfading delay: the pitch shifter behind "Buffer Rate".
//   o += 1 - r, wrapped into [0, W];  h1 = w - o, h2 = w - W - o (mod N)
//   y = F * tap(h1) + (1 - F) * tap(h2),  F = o / W (1 when W = 0)
// rate is the pitch ratio r, window W the tap spacing and crossfade length in
// samples, offset o the drifting tap offset, writeIndex w the next slot to
// write. tap(h) interpolates linearly between floor(h) and ceil(h). When o
// jumps from 0 back to W the output is already wholly on the tap that lands
// where the other one was, so the jump is inaudible.
class CrossfadeDelay final : public SignalComponent {
public:
    CrossfadeDelay() = default;

    // [audio thread]
    double process(double input) override;
    // [audio thread] Clears the ring and the last output; indices and
    // settings are kept.
    void reset() override;
    // [any thread]
    virtual float getNominalWindow() const { return nominalWindow; }
    // [any thread] Reads an integer setting that nothing in the effect
    // writes; it is always 0.
    virtual int32_t getReserved() const { return 0; }

    // [audio thread] Window in samples. A request whose ceiling exceeds the
    // ring becomes 176399; a negative or NaN request becomes 0, so the taps
    // never leave the ring. Returns the window now in force.
    float setWindow(float samples);

    // Written by the owner on the audio thread, one float at a time.
    float rate = 1.0f;
    float nominalWindow = 0.0f;
    float window = 0.0f;
    float offset = 0.0f;
    int32_t size = kDelayCapacity;
    int32_t writeIndex = 0;
    double buffer[kDelayCapacity] = {};
};

static_assert(sizeof(CrossfadeDelay::buffer) == sizeof(double) * kDelayCapacity);
