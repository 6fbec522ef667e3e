#include "render/render_loop.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

namespace vrender {

void LevelMeter::add(const float* samples, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const double v = samples[i];
        peak_ = std::max(peak_, std::fabs(v));
        sumSquares_ += v * v;
    }
    count_ += count;
}

double LevelMeter::rms() const {
    return count_ == 0 ? 0.0 : std::sqrt(sumSquares_ / static_cast<double>(count_));
}

double LevelMeter::decibels(double linear) {
    if (!(linear > 0.0)) {
        return -std::numeric_limits<double>::infinity();
    }
    return 20.0 * std::log10(linear);
}

std::string LevelMeter::dbfsText(double linear) {
    const double db = decibels(linear);
    if (std::isinf(db) && db < 0.0) {
        return "-inf dBFS";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f dBFS", db);
    return text;
}

bool renderFrames(vhost::PluginHost& host, const RenderJob& job, const FrameReader& read,
                  const FrameWriter& write, const ProgressReport& progress, RenderResult& result,
                  std::string& error) {
    const auto block = static_cast<std::size_t>(std::max(job.blockSize, 1));
    const auto channels = static_cast<std::size_t>(job.inputChannels);
    std::vector<float> interleavedIn(block * channels);
    std::vector<float> inLeft(block), inRight(block), outLeft(block), outRight(block);
    std::vector<float> interleavedOut(block * 2);

    const auto start = std::chrono::steady_clock::now();
    std::int64_t tailLeft = job.tailFrames;
    bool inputDone = false;
    for (;;) {
        std::size_t frames = 0;
        if (!inputDone) {
            const std::int64_t got = read(interleavedIn.data(), static_cast<std::int64_t>(block), error);
            if (got < 0) {
                return false;
            }
            frames = static_cast<std::size_t>(got);
            result.input.add(interleavedIn.data(), frames * channels);
            result.inputFrames += got;
            for (std::size_t i = 0; i < frames; ++i) {
                inLeft[i] = interleavedIn[i * channels];
                inRight[i] = interleavedIn[i * channels + channels - 1];
            }
            inputDone = frames < block;
        }
        // The rest of a short last block, then the tail, is silence.
        if (frames < block && tailLeft > 0) {
            const auto silent = static_cast<std::size_t>(
                std::min<std::int64_t>(tailLeft, static_cast<std::int64_t>(block - frames)));
            std::fill(inLeft.begin() + static_cast<std::ptrdiff_t>(frames),
                      inLeft.begin() + static_cast<std::ptrdiff_t>(frames + silent), 0.0f);
            std::fill(inRight.begin() + static_cast<std::ptrdiff_t>(frames),
                      inRight.begin() + static_cast<std::ptrdiff_t>(frames + silent), 0.0f);
            frames += silent;
            tailLeft -= static_cast<std::int64_t>(silent);
        }
        if (frames == 0) {
            break;
        }
        host.processReplacing(inLeft.data(), inRight.data(), outLeft.data(), outRight.data(),
                              static_cast<vhost::int32>(frames));
        for (std::size_t i = 0; i < frames; ++i) {
            interleavedOut[2 * i] = outLeft[i];
            interleavedOut[2 * i + 1] = outRight[i];
        }
        result.output.add(interleavedOut.data(), frames * 2);
        if (!write(interleavedOut.data(), static_cast<std::int64_t>(frames), error)) {
            return false;
        }
        result.outputFrames += static_cast<std::int64_t>(frames);
        if (progress) {
            progress(result.outputFrames);
        }
    }
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return true;
}

ProgressBar::ProgressBar(std::int64_t totalFrames, double sampleRate, bool enabled)
    : total_(std::max<std::int64_t>(totalFrames, 1)), rate_(sampleRate), enabled_(enabled),
      start_(Clock::now()), lastDraw_(start_) {}

ProgressBar::~ProgressBar() {
    finish();
}

void ProgressBar::update(std::int64_t framesDone) {
    if (!enabled_) {
        return;
    }
    const Clock::time_point now = Clock::now();
    const double elapsed = std::chrono::duration<double>(now - start_).count();
    if (elapsed < 1.0 || (shown_ && now - lastDraw_ < std::chrono::milliseconds(100))) {
        return;
    }
    lastDraw_ = now;
    shown_ = true;
    constexpr int kWidth = 30;
    const double fraction =
        std::clamp(static_cast<double>(framesDone) / static_cast<double>(total_), 0.0, 1.0);
    const int filled = static_cast<int>(fraction * kWidth);
    char bar[kWidth + 1];
    for (int i = 0; i < kWidth; ++i) {
        bar[i] = i < filled ? '#' : '.';
    }
    bar[kWidth] = '\0';
    const double speed = static_cast<double>(framesDone) / rate_ / elapsed;
    std::fprintf(stderr, "\r[%s] %3d%%  %.1f s elapsed  %.1fx real time ", bar,
                 static_cast<int>(fraction * 100.0), elapsed, speed);
    std::fflush(stderr);
}

void ProgressBar::finish() {
    if (shown_) {
        // Wipe the line so that the summary starts on a clean one.
        std::fprintf(stderr, "\r%*s\r", 79, "");
        std::fflush(stderr);
        shown_ = false;
    }
}

} // namespace vrender
