#pragma once

// Driving the built module as a hostile host would: one random step (parameter
// automation, program changes, resumes, sample-rate and tempo changes, a host
// block of 0 to 8192 frames) applied identically to any number of instances,
// and the checks every output block must pass.

#include <cstdint>
#include <cstring>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "battery_support.h"
#include "host/plugin_host.h"

namespace battery {

constexpr int kMaxBlock = 8192;

// The rates a host may run at, the common ones and odd ones.
double randomSampleRate(Random& random);
// A host block: 0, 1, small, typical and up to 8192 frames.
int randomBlockSize(Random& random);

// One host action between two blocks, and the block after it.
struct Step {
    std::vector<std::pair<int, float>> parameters;
    bool changeProgram = false;
    vst2::intptr program = 0; // effSetProgram's value: 0..31, and beyond on both sides
    bool suspendFirst = false;
    bool resume = false;
    double sampleRate = 0.0; // 0: unchanged (set while suspended)
    bool changeTransport = false;
    vhost::Transport transport;
    std::vector<vhost::MidiMessage> midi;
    int frames = 0;
    bool replacing = true;
    float accumulateBase = 0.0f; // what the output buffers hold before an accumulating call

    std::string describe() const;
};

// A random step. With randomShapes false, no LFO shape whose table the module
// draws from the clock is selected, so that instances made at different
// moments stay comparable.
Step randomStep(Random& random, bool randomShapes);

// Applies the step's host actions (not the block).
void applyStep(vhost::PluginHost& host, const Step& step);

// Runs the step's block on the given input; the output buffers are prepared as
// the step says (left as they were for the replacing call, which must
// overwrite them).
void runBlock(vhost::PluginHost& host, const Step& step, const float* inL, const float* inR, float* outL,
              float* outR);

// Checks one output block against the bound for the stored "Out" and "Mix"
// values; on failure returns false and says where. `wetPeak` grows to the
// largest wet magnitude the block reveals (where mix and gain allow reading it).
bool checkBlock(float outValue, float mixValue, const Step& step, const float* inL, const float* inR,
                const float* outL, const float* outR, double& wetPeak, std::string& failure);

// Bit for bit the same samples (no samples are the same, too).
inline bool sameSamples(const float* a, const float* b, int frames) {
    return frames <= 0 || std::memcmp(a, b, sizeof(float) * static_cast<std::size_t>(frames)) == 0;
}

// The last actions, for a failure message.
class ActionLog {
public:
    void add(std::string text);
    std::string text() const;

private:
    std::deque<std::string> lines;
};

} // namespace battery
