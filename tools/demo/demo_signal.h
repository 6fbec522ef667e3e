#pragma once

// The demo's input signal, made in code so that the demo needs no recording: a sawtooth chord
// progression sung through a moving vowel formant, with a kick, a snare-like noise burst and
// hi-hats on the beat grid. Deterministic: the same settings give the same samples.

#include <vector>

namespace vdemo {

struct DemoSettings {
    int sampleRate = 44100;
    double seconds = 8.0;
    double bpm = 120.0;
};

// Interleaved stereo, peaking at -3 dBFS.
std::vector<float> makeDemoInput(const DemoSettings& settings);

} // namespace vdemo
