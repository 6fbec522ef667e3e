// Time at every host rate, measured on the built module as a user hears it:
// echo spacings of free and synced delays, the turn of an LFO, the peak of
// the feedback filter. The truths are the settings themselves (seconds, the
// host's beat, hertz), not the effect's own arithmetic.

#include <cmath>
#include <cstdio>
#include <random>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "common/parameter_table.h"
#include "host/plugin_host.h"

namespace {

using namespace param;

constexpr double kPi = 3.14159265358979323846;
constexpr int kBlock = 512;

struct Render {
    int rate = 44100;
    std::vector<float> left;
};

// Runs `input` (mono, to both channels) through a fresh instance at `rate` with
// the given settings, the host playing at `bpm`.
Render render(int rate, const std::vector<std::pair<int, float>>& settings, const std::vector<float>& input,
              double bpm = 120.0) {
    vhost::PluginHost host;
    EXPECT_TRUE(host.load(VORNHALT_MODULE_PATH)) << host.error();
    host.transport().tempo = bpm;
    host.open(rate, kBlock);
    for (const auto& [index, value] : settings) {
        host.setParameter(index, value);
    }
    Render out;
    out.rate = rate;
    out.left.resize(input.size());
    std::vector<float> right(input.size());
    for (std::size_t start = 0; start < input.size(); start += kBlock) {
        const auto n = static_cast<vst2::int32>(std::min<std::size_t>(kBlock, input.size() - start));
        host.processReplacing(input.data() + start, input.data() + start, out.left.data() + start,
                              right.data() + start, n);
    }
    return out;
}

// A 10 ms burst of Hann-windowed noise at the start of `seconds` of silence.
std::vector<float> click(int rate, double seconds) {
    std::vector<float> x(static_cast<std::size_t>(seconds * rate));
    std::mt19937 random(5);
    std::uniform_real_distribution<float> noise(-0.5f, 0.5f);
    const int length = rate / 100;
    for (int i = 0; i < length; ++i) {
        x[static_cast<std::size_t>(i)] =
            noise(random) * static_cast<float>(0.5 - 0.5 * std::cos(2.0 * kPi * i / length));
    }
    return x;
}

double energy(const std::vector<float>& x, std::size_t from, std::size_t length) {
    double e = 0.0;
    for (std::size_t i = from; i < from + length && i < x.size(); ++i) {
        e += static_cast<double>(x[i]) * x[i];
    }
    return e;
}

// Where the loudest millisecond lies between two times (seconds).
std::size_t loudestMillisecond(const Render& r, double from, double to) {
    const auto ms = static_cast<std::size_t>(r.rate / 1000);
    std::size_t best = 0;
    double bestEnergy = -1.0;
    for (auto at = static_cast<std::size_t>(from * r.rate); at < static_cast<std::size_t>(to * r.rate);
         at += ms) {
        const double e = energy(r.left, at, ms);
        if (e > bestEnergy) {
            bestEnergy = e;
            best = at;
        }
    }
    return best;
}

// The time (seconds) at the centre of the energy between two times.
double energyCentre(const Render& r, double from, double to) {
    double weighted = 0.0, total = 0.0;
    for (auto i = static_cast<std::size_t>(from * r.rate); i < static_cast<std::size_t>(to * r.rate); ++i) {
        const double e = static_cast<double>(r.left[i]) * r.left[i];
        weighted += e * static_cast<double>(i);
        total += e;
    }
    return weighted / total / r.rate;
}

// The spacing (seconds) between the click as it comes out and its first echo,
// expected near `delay`: the distance between the centres of their energies
// (which, unlike the waveforms, the all-pass and the lattices leave in place).
double echoSpacing(const Render& r, double delay) {
    const double first = energyCentre(r, 0.0, 0.1);
    const double echo =
        static_cast<double>(loudestMillisecond(r, first + 0.5 * delay, first + 1.5 * delay)) / double(r.rate);
    return energyCentre(r, echo - 0.04, echo + 0.06) - first;
}

// A click returning through the feedback delay: Mix 1, Feedback 0.5, the all-pass feedback filter.
std::vector<std::pair<int, float>> echoSettings(float delay, float sync) {
    return {{kMix, 1.0f},    {kFeedback, 0.5f},  {kFilterType, 0.4f},
            {kDelay, delay}, {kDelaySync, sync}, {kStages, 0.0f}};
}

TEST(HostRate, EchoesKeepTheirTimeAndTheHostsBeatAtEveryRate) {
    // At 100 BPM a beat lasts 0.6 s; "1/1" rounds a 0.3 s delay up to one beat.
    const double beat = 0.6;
    double lagAt44 = 0.0;
    for (int rate : {44100, 48000, 96000, 192000}) {
        const double free = echoSpacing(render(rate, echoSettings(0.5f, 0.0f), click(rate, 1.5)), 0.5);
        const double synced =
            echoSpacing(render(rate, echoSettings(0.3f, 2.0f), click(rate, 1.8), 100.0), beat);
        std::printf("%6d Hz: free 0.5 s echoes after %.4f s, one synced beat (0.6 s) after %.4f s\n", rate,
                    free, synced);
        // The wet path adds a fixed lag of its own (the buffer-rate window, a sample of
        // the delay line), the same length of time at every rate.
        if (rate == 44100) {
            lagAt44 = free - 0.5;
            EXPECT_GT(lagAt44, 0.0);
            EXPECT_LT(lagAt44, 0.02);
        }
        EXPECT_NEAR(free - 0.5, lagAt44, 0.0005) << rate;
        EXPECT_NEAR(synced - beat, lagAt44, 0.0005) << rate;
    }
    // The longest free delay, up to the highest rate the rings are made for.
    for (int rate : {96000, 192000}) {
        const double second = echoSpacing(render(rate, echoSettings(1.0f, 0.0f), click(rate, 2.5)), 1.0);
        std::printf("%6d Hz: free 1 s echoes after %.4f s\n", rate, second);
        EXPECT_NEAR(second - 1.0, lagAt44, 0.0005) << rate;
    }
}

// The period (seconds) of a signal's level, from the autocorrelation of its
// 10 ms RMS frames between 0.5 and 1.5 s.
double levelPeriod(const Render& r) {
    const auto frame = static_cast<std::size_t>(r.rate / 100);
    std::vector<double> level;
    for (std::size_t at = static_cast<std::size_t>(r.rate); at + frame <= r.left.size(); at += frame) {
        level.push_back(std::sqrt(energy(r.left, at, frame) / static_cast<double>(frame)));
    }
    double mean = 0.0;
    for (double v : level) {
        mean += v / static_cast<double>(level.size());
    }
    auto correlation = [&](std::size_t lag) {
        double c = 0.0;
        for (std::size_t i = 0; i + lag < level.size(); ++i) {
            c += (level[i] - mean) * (level[i + lag] - mean);
        }
        return c / static_cast<double>(level.size() - lag);
    };
    std::size_t best = 50;
    for (std::size_t lag = 50; lag <= 150; ++lag) {
        if (correlation(lag) > correlation(best)) {
            best = lag;
        }
    }
    // The peak between frames, from a parabola through its neighbours.
    const double a = correlation(best - 1), b = correlation(best), c = correlation(best + 1);
    const double shift = (a - c) / (2.0 * (a - 2.0 * b + c));
    return (static_cast<double>(best) + shift) * 0.01;
}

TEST(HostRate, AOneHertzLfoTurnsOnceASecond) {
    const float oneHertz = std::sqrt(1.0f / 20.0f); // "LFO 1 Freq" is 20 p^2 Hz
    for (int rate : {44100, 48000, 96000}) {
        std::vector<float> tone(static_cast<std::size_t>(6 * rate));
        for (std::size_t i = 0; i < tone.size(); ++i) {
            tone[i] = static_cast<float>(0.5 * std::sin(2.0 * kPi * 1000.0 * static_cast<double>(i) / rate));
        }
        // A square LFO switches the decimation between none and the most.
        const Render r = render(rate,
                                {{kMix, 1.0f},
                                 {kLfo1Shape, 4.0f},
                                 {kLfo1Freq, oneHertz},
                                 {kDecimation, 0.5f},
                                 {routeIndex(kSourceLfo1, kTargetDecimation), 1.0f}},
                                tone);
        const double period = levelPeriod(r);
        std::printf("%6d Hz: an LFO at 1 Hz turns in %.4f s\n", rate, period);
        EXPECT_NEAR(period, 1.0, 0.01) << rate;
    }
}

// The magnitude of a stretch of signal at one frequency (a single DFT bin).
double magnitudeAt(const Render& r, std::size_t from, std::size_t length, double frequency) {
    double re = 0.0, im = 0.0;
    for (std::size_t i = 0; i < length; ++i) {
        const double w = 2.0 * kPi * frequency * static_cast<double>(i) / r.rate;
        re += r.left[from + i] * std::cos(w);
        im -= r.left[from + i] * std::sin(w);
    }
    return std::hypot(re, im);
}

// The frequency at which the first echo is loudest against the click itself:
// the feedback filter's peak as heard.
double echoPeak(const Render& r, double delay) {
    const std::size_t first = loudestMillisecond(r, 0.0, 0.5 * delay);
    const double spacing = echoSpacing(r, delay);
    const auto length = static_cast<std::size_t>(0.04 * r.rate);
    const std::size_t clickStart = first > length / 4 ? first - length / 4 : 0;
    const std::size_t echoStart = clickStart + static_cast<std::size_t>(spacing * r.rate);
    double best = 0.0, bestRatio = -1.0;
    for (double f = 1000.0; f <= 8000.0; f += 25.0) {
        const double ratio =
            magnitudeAt(r, echoStart, length, f) / (magnitudeAt(r, clickStart, length, f) + 1e-9);
        if (ratio > bestRatio) {
            bestRatio = ratio;
            best = f;
        }
    }
    return best;
}

TEST(HostRate, TheFeedbackFilterPeaksAtTheSameFrequency) {
    // Band-pass at "Cutoff" 0.5: 0.5^3 * 22000 = 2750 Hz.
    const std::vector<std::pair<int, float>> settings = {{kMix, 1.0f},    {kFeedback, 0.7f},
                                                         {kDelay, 0.15f}, {kFilterType, 0.2f},
                                                         {kCutoff, 0.5f}, {kResonance, 0.8f}};
    const double at44 = echoPeak(render(44100, settings, click(44100, 0.5)), 0.15);
    const double at96 = echoPeak(render(96000, settings, click(96000, 0.5)), 0.15);
    std::printf("the feedback filter peaks at %.0f Hz at 44.1 kHz and %.0f Hz at 96 kHz\n", at44, at96);
    EXPECT_NEAR(at44, 2750.0, 150.0);
    EXPECT_NEAR(at96, 2750.0, 150.0);
}

} // namespace
