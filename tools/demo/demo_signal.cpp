#include "demo/demo_signal.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

namespace vdemo {

namespace {

constexpr double kPi = 3.14159265358979323846;

// A sawtooth with its step smoothed by a two-sample polynomial (poly-BLEP), so that the upper
// partials do not fold back as aliases.
class Saw {
public:
    explicit Saw(double phase) : phase_(phase) {}
    double next(double increment) {
        double value = 2.0 * phase_ - 1.0;
        value -= blep(phase_, increment);
        phase_ += increment;
        if (phase_ >= 1.0) {
            phase_ -= 1.0;
        }
        return value;
    }

private:
    static double blep(double t, double dt) {
        if (t < dt) {
            t /= dt;
            return t + t - t * t - 1.0;
        }
        if (t > 1.0 - dt) {
            t = (t - 1.0) / dt;
            return t * t + t + t + 1.0;
        }
        return 0.0;
    }
    double phase_;
};

// A state-variable band-pass (trapezoidal integrators) with unit gain at its centre, retuned
// every sample as the vowel moves: y = k * v1, with g = tan(pi fc / fs) and k = 1 / Q.
class BandPass {
public:
    double process(double x, double centre, double q, double sampleRate) {
        const double g = std::tan(kPi * std::min(centre, 0.45 * sampleRate) / sampleRate);
        const double k = 1.0 / q;
        const double a1 = 1.0 / (1.0 + g * (g + k));
        const double a2 = g * a1;
        const double a3 = g * a2;
        const double v3 = x - s2_;
        const double v1 = a1 * s1_ + a2 * v3;
        const double v2 = s2_ + a2 * s1_ + a3 * v3;
        s1_ = 2.0 * v1 - s1_;
        s2_ = 2.0 * v2 - s2_;
        return k * v1;
    }

private:
    double s1_ = 0.0, s2_ = 0.0;
};

// A small deterministic noise source (xorshift), uniform in -1..1.
class Noise {
public:
    double next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return static_cast<double>(state_) / 2147483648.0 - 1.0;
    }

private:
    std::uint32_t state_ = 0x9E3779B9u;
};

// The first three formants of five vowels (a, e, i, o, u), in Hz.
constexpr std::array<std::array<double, 3>, 5> kVowels = {{
    {730.0, 1090.0, 2440.0},
    {530.0, 1840.0, 2480.0},
    {270.0, 2290.0, 3010.0},
    {570.0, 840.0, 2410.0},
    {300.0, 870.0, 2240.0},
}};
constexpr std::array<double, 3> kFormantGain = {1.0, 0.6, 0.3};
constexpr double kFormantQ = 9.0;

// A minor, F major, C major, G major: one chord per bar, as MIDI notes.
constexpr std::array<std::array<int, 4>, 4> kChords = {{
    {45, 52, 57, 60},
    {41, 48, 53, 57},
    {48, 55, 60, 64},
    {43, 50, 55, 59},
}};

double noteHz(int note) {
    return 440.0 * std::pow(2.0, (note - 69) / 12.0);
}

// The two channels while they are built up, in double precision until the final gain.
struct StereoTrack {
    std::vector<double> left, right;
};

// Chord: two saws per note, detuned a little apart on the left and the right, sung through three
// formants per side.
void addChords(const DemoSettings& settings, StereoTrack& track) {
    const double fs = settings.sampleRate;
    const double beatSeconds = 60.0 / settings.bpm;
    std::vector<Saw> saws;
    for (int i = 0; i < 8; ++i) {
        saws.emplace_back(0.137 * i);
    }
    std::array<BandPass, 6> formants; // three per side
    for (std::size_t n = 0; n < track.left.size(); ++n) {
        const double t = static_cast<double>(n) / fs;
        const double beat = t / beatSeconds;
        const auto& chord = kChords[static_cast<std::size_t>(beat / 4.0) % kChords.size()];

        // Each bar starts with a soft attack; the whole signal fades in and out.
        const double inBar = std::fmod(beat, 4.0) * beatSeconds;
        double level = std::min(1.0, inBar / 0.02) * (0.75 + 0.25 * std::exp(-inBar * 3.0));
        level *= std::min(1.0, t / 0.01) * std::min(1.0, (settings.seconds - t) / 0.05);

        double sawLeft = 0.0, sawRight = 0.0;
        for (std::size_t v = 0; v < chord.size(); ++v) {
            const double hz = noteHz(chord[v]);
            sawLeft += saws[2 * v].next(hz * 0.9965 / fs);
            sawRight += saws[2 * v + 1].next(hz * 1.0035 / fs);
        }

        // The vowel glides a-e-i-o-u, one vowel per beat, with a smooth turn between them.
        const double position = std::fmod(beat, 5.0);
        const auto from = static_cast<std::size_t>(position);
        const std::size_t to = (from + 1) % kVowels.size();
        const double frac = position - static_cast<double>(from);
        const double blend = 0.5 - 0.5 * std::cos(kPi * frac);
        double voicedLeft = 0.15 * sawLeft, voicedRight = 0.15 * sawRight;
        for (std::size_t f = 0; f < 3; ++f) {
            const double centre =
                std::exp((1.0 - blend) * std::log(kVowels[from][f]) + blend * std::log(kVowels[to][f]));
            voicedLeft += kFormantGain[f] * formants[f].process(sawLeft, centre, kFormantQ, fs);
            voicedRight += kFormantGain[f] * formants[3 + f].process(sawRight, centre, kFormantQ, fs);
        }
        track.left[n] = level * voicedLeft;
        track.right[n] = level * voicedRight;
    }
}

// Drums: a falling sine kick on beats 1 and 3, a noise burst with a short tone body on 2 and 4,
// closed hi-hat ticks on every eighth note; the same in both channels.
void addDrums(const DemoSettings& settings, StereoTrack& track) {
    const double fs = settings.sampleRate;
    const double beatSeconds = 60.0 / settings.bpm;
    Noise noise;
    double kickPhase = 0.0, snarePhase = 0.0;
    double hatLow = 0.0;
    for (std::size_t n = 0; n < track.left.size(); ++n) {
        const double t = static_cast<double>(n) / fs;
        const double beat = t / beatSeconds;
        const double sinceBeat = std::fmod(beat, 1.0) * beatSeconds;
        const double sinceEighth = std::fmod(beat, 0.5) * beatSeconds;
        const bool kickBeat = static_cast<long>(beat) % 2 == 0;

        double drums = 0.0;
        if (kickBeat) {
            const double hz = 45.0 + 90.0 * std::exp(-sinceBeat * 30.0);
            kickPhase += hz / fs;
            drums += 1.6 * std::sin(2.0 * kPi * kickPhase) * std::exp(-sinceBeat * 9.0);
        } else {
            kickPhase = 0.0;
            snarePhase += 185.0 / fs;
            const double body = std::sin(2.0 * kPi * snarePhase) * std::exp(-sinceBeat * 30.0);
            drums += (0.9 * noise.next() * std::exp(-sinceBeat * 18.0) + 0.5 * body);
        }
        // The hat: noise with its lows taken out, 30 ms long.
        const double white = noise.next();
        hatLow += 0.25 * (white - hatLow);
        drums += 0.35 * (white - hatLow) * std::exp(-sinceEighth * 110.0);

        const double fade = std::min(1.0, (settings.seconds - t) / 0.05);
        track.left[n] += 0.8 * drums * fade;
        track.right[n] += 0.8 * drums * fade;
    }
}

// Interleaved, scaled so that the louder channel peaks at -3 dBFS.
std::vector<float> interleavedAtMinus3dB(const StereoTrack& track) {
    const std::size_t frames = track.left.size();
    double peak = 0.0;
    for (std::size_t n = 0; n < frames; ++n) {
        peak = std::max({peak, std::fabs(track.left[n]), std::fabs(track.right[n])});
    }
    const double gain = peak > 0.0 ? std::pow(10.0, -3.0 / 20.0) / peak : 0.0;
    std::vector<float> out(2 * frames);
    for (std::size_t n = 0; n < frames; ++n) {
        out[2 * n] = static_cast<float>(track.left[n] * gain);
        out[2 * n + 1] = static_cast<float>(track.right[n] * gain);
    }
    return out;
}

} // namespace

std::vector<float> makeDemoInput(const DemoSettings& settings) {
    const double fs = settings.sampleRate;
    const auto frames = static_cast<std::size_t>(std::max(0.0, std::round(settings.seconds * fs)));
    StereoTrack track{std::vector<double>(frames), std::vector<double>(frames)};
    addChords(settings, track);
    addDrums(settings, track);
    return interleavedAtMinus3dB(track);
}

} // namespace vdemo
