#pragma once

// The render loop: the input file's frames (then silence for the tail) go through the plug-in's
// processReplacing block by block; the stereo result goes to the output, and both sides are
// measured on the way.

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "host/plugin_host.h"

namespace vrender {

// Peak and RMS over every sample of every channel.
class LevelMeter {
public:
    void add(const float* samples, std::size_t count);
    double peak() const { return peak_; }
    double rms() const;
    static double decibels(double linear); // -infinity for 0
    // "-6.02 dBFS", "-inf dBFS"
    static std::string dbfsText(double linear);

private:
    double peak_ = 0.0;
    double sumSquares_ = 0.0;
    std::uint64_t count_ = 0;
};

// Interleaved reading and writing; read returns the frames read (0 at the end, -1 on an error and
// then fills `error`); write returns false on an error.
using FrameReader = std::function<std::int64_t(float* interleaved, std::int64_t frames, std::string& error)>;
using FrameWriter = std::function<bool(const float* interleaved, std::int64_t frames, std::string& error)>;
// Told after every block: frames done so far.
using ProgressReport = std::function<void(std::int64_t framesDone)>;

struct RenderJob {
    int inputChannels = 2; // 1: the one channel feeds both plug-in inputs
    std::int32_t blockSize = 512;
    std::int64_t tailFrames = 0;
};

struct RenderResult {
    LevelMeter input;
    LevelMeter output;
    std::int64_t inputFrames = 0;
    std::int64_t outputFrames = 0;
    double seconds = 0.0; // wall-clock time of the loop
};

// The host must be open and resumed with the file's rate and the job's block size.
bool renderFrames(vhost::PluginHost& host, const RenderJob& job, const FrameReader& read,
                  const FrameWriter& write, const ProgressReport& progress, RenderResult& result,
                  std::string& error);

// The progress line on a terminal: shown once a render has taken a second, redrawn at most ten
// times a second, and wiped when it ends.
class ProgressBar {
public:
    ProgressBar(std::int64_t totalFrames, double sampleRate, bool enabled);
    ~ProgressBar();
    void update(std::int64_t framesDone);
    void finish();

private:
    using Clock = std::chrono::steady_clock;
    std::int64_t total_;
    double rate_;
    bool enabled_;
    bool shown_ = false;
    Clock::time_point start_;
    Clock::time_point lastDraw_;
};

} // namespace vrender
