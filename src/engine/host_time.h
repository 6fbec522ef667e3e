#pragma once

// The host's musical time as the engine sees it, refreshed at the start of
// every processing call: the synced delay and LFOs measure their grid in
// samples per beat, and synced LFOs lock their phase to the song position.

#include <cstdint>

#include "engine/shared_number.h"

struct HostTimeReport {
    bool tempoValid = false;
    double tempo = 0.0;
    bool positionValid = false;
    double ppqPosition = 0.0;
};

// Implemented by the host layer, which asks the host through its callback.
class HostTimeSource {
public:
    virtual ~HostTimeSource() = default;
    // [audio thread] Fills the report and answers true when the host gave a record.
    virtual bool queryHostTime(HostTimeReport& report) = 0;
};

// Written by the audio thread at the start of every call; the beat length is
// also read by the editor's value displays on the UI thread.
struct HostTimeSnapshot {
    double tempo = 120.0;
    double beatsPerSecond = 2.0;
    SharedNumber<std::int32_t> samplesPerBeat{22050};
    double songPosition = 0.0;
};
