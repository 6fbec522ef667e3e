// The Linux side of the LMMS test (scripts/lmms-render-test): writes the input
// LMMS plays, and compares what LMMS rendered through the Windows DLL with what
// vornhalt-render rendered through the Linux module.
//
//   vornhalt-lmms-check input FILE.wav SECONDS PADDING
//       the demo signal, SECONDS long and then PADDING seconds of silence, as
//       32-bit float (so that LMMS and the renderer read the same samples)
//   vornhalt-lmms-check compare LMMS.wav LINUX.wav OTHER.wav
//       LMMS.wav must match LINUX.wav (the same settings) to within -100 dB
//       of the signal over the length both hold, and differ from OTHER.wav (other
//       settings): proof that LMMS handed the settings over. Prints the residual
//       and whether the files are byte-identical.

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "demo/demo_signal.h"

namespace {

constexpr int kRate = 44100;
constexpr double kMatchDb = -100.0;    // LMMS's render against the same settings on Linux
constexpr double kDifferentDb = -20.0; // ... and against other settings: far louder than this

bool writeInput(const char* path, double seconds, double padding) {
    vdemo::DemoSettings settings;
    settings.sampleRate = kRate;
    settings.seconds = seconds;
    std::vector<float> samples = vdemo::makeDemoInput(settings);
    samples.resize(samples.size() + 2 * static_cast<std::size_t>(padding * kRate), 0.0f);
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(path, SFM_WRITE, &info);
    if (file == nullptr) {
        std::fprintf(stderr, "%s: %s\n", path, sf_strerror(nullptr));
        return false;
    }
    const auto frames = static_cast<sf_count_t>(samples.size() / 2);
    const bool written = sf_writef_float(file, samples.data(), frames) == frames;
    sf_close(file);
    return written;
}

// Interleaved stereo samples; empty when the file cannot be read or is not stereo at kRate.
std::vector<float> readStereo(const char* path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path, SFM_READ, &info);
    if (file == nullptr || info.channels != 2 || info.samplerate != kRate) {
        std::fprintf(stderr, "%s: not a stereo file at %d Hz\n", path, kRate);
        if (file != nullptr) {
            sf_close(file);
        }
        return {};
    }
    std::vector<float> samples(static_cast<std::size_t>(info.frames) * 2);
    samples.resize(static_cast<std::size_t>(sf_readf_float(file, samples.data(), info.frames)) * 2);
    sf_close(file);
    return samples;
}

// Energy of b, and of a - b, over the samples both hold, in dB; whether they are the same bytes.
struct Residual {
    double signalDb;
    double residualDb; // relative to the signal
    double largest;
    bool identical;
};

Residual residual(const std::vector<float>& a, const std::vector<float>& b) {
    const std::size_t n = std::min(a.size(), b.size());
    double signal = 0.0;
    double difference = 0.0;
    double largest = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const double d = static_cast<double>(a[i]) - b[i];
        signal += static_cast<double>(b[i]) * b[i];
        difference += d * d;
        largest = std::max(largest, std::fabs(d));
    }
    const bool identical = std::memcmp(a.data(), b.data(), n * sizeof(float)) == 0;
    return {10.0 * std::log10(signal / static_cast<double>(n) + 1e-30),
            10.0 * std::log10((difference + 1e-30) / (signal + 1e-30)), largest, identical};
}

int compare(const char* lmmsPath, const char* linuxPath, const char* otherPath) {
    const std::vector<float> lmms = readStereo(lmmsPath);
    const std::vector<float> linux = readStereo(linuxPath);
    const std::vector<float> other = readStereo(otherPath);
    if (lmms.empty() || linux.empty() || other.empty()) {
        return 1;
    }
    const Residual same = residual(lmms, linux);
    const Residual apart = residual(lmms, other);
    std::printf("  LMMS: %zu frames, Linux: %zu frames, compared: %zu\n", lmms.size() / 2, linux.size() / 2,
                std::min(lmms.size(), linux.size()) / 2);
    if (same.identical) {
        std::printf("  against the same settings on Linux: byte-identical (signal %.1f dBFS)\n",
                    same.signalDb);
    } else {
        std::printf(
            "  against the same settings on Linux: residual %.1f dB relative to the signal (%.1f dBFS), "
            "largest difference %.3g\n",
            same.residualDb, same.signalDb, same.largest);
    }
    std::printf("  against other settings on Linux: residual %.1f dB relative to the signal\n",
                apart.residualDb);
    if (lmms.size() < linux.size() / 2) {
        std::printf("FAILED: LMMS rendered less than half the input\n");
        return 1;
    }
    if (same.residualDb > kMatchDb || apart.residualDb < kDifferentDb) {
        std::printf("FAILED: LMMS's render does not match the Linux render of its settings\n");
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "input") == 0) {
        return writeInput(argv[2], std::atof(argv[3]), std::atof(argv[4])) ? 0 : 1;
    }
    if (argc == 5 && std::strcmp(argv[1], "compare") == 0) {
        return compare(argv[2], argv[3], argv[4]);
    }
    std::fprintf(stderr,
                 "usage: %s input FILE.wav SECONDS PADDING\n"
                 "       %s compare LMMS.wav LINUX.wav OTHER.wav\n",
                 argv[0], argv[0]);
    return 2;
}
