#include "battery_driver.h"

#include <cstdio>
#include <limits>

namespace battery {

double randomSampleRate(Random& random) {
    static const double kCommon[] = {8000.0,  11025.0, 16000.0, 22050.0, 32000.0,
                                     44100.0, 48000.0, 88200.0, 96000.0, 192000.0};
    if (random.chance(0.7)) {
        return kCommon[random.below(10)];
    }
    return 8000.0 + 184000.0 * random.unit();
}

int randomBlockSize(Random& random) {
    const double u = random.unit();
    if (u < 0.08) {
        return 0;
    }
    if (u < 0.20) {
        return 1;
    }
    if (u < 0.45) {
        return random.between(2, 64);
    }
    if (u < 0.80) {
        return random.between(65, 1024);
    }
    return random.between(1025, kMaxBlock);
}

namespace {

vhost::Transport randomTransport(Random& random) {
    vhost::Transport t;
    const double u = random.unit();
    if (u < 0.6) {
        t.tempo = 30.0 + 270.0 * random.unit();
    } else {
        static const double kOdd[] = {0.0,
                                      -120.0,
                                      1e-3,
                                      1e6,
                                      std::numeric_limits<double>::quiet_NaN(),
                                      std::numeric_limits<double>::infinity()};
        t.tempo = kOdd[random.below(6)];
    }
    t.startBeat = random.chance(0.8) ? 64.0 * random.unit() : -1e4 * random.unit();
    if (random.chance(0.2)) {
        t.flags &= ~vst2::kVstTempoValid;
    }
    if (random.chance(0.2)) {
        t.flags &= ~vst2::kVstPpqPosValid;
    }
    t.available = !random.chance(0.1);
    return t;
}

} // namespace

Step randomStep(Random& random, bool randomShapes) {
    Step step;
    const int changes = random.chance(0.4) ? 0 : random.between(1, 8);
    for (int i = 0; i < changes; ++i) {
        int index = random.between(0, kParameterCount - 1);
        float value = hostileValue(random, index);
        if (!randomShapes && (index == kLfo1Shape || index == kLfo2Shape)) {
            while (isRandomShape(value)) {
                value = hostileValue(random, index);
            }
        }
        if (random.chance(0.01)) {
            static const int kOutside[] = {-1, kParameterCount, 1000, std::numeric_limits<int>::min()};
            index = kOutside[random.below(4)];
        }
        step.parameters.emplace_back(index, value);
    }
    if (random.chance(0.05)) {
        step.changeProgram = true;
        step.program = random.chance(0.85) ? random.between(0, 31) : random.between(-5, 40);
    }
    if (random.chance(0.03)) {
        step.resume = true;
        step.suspendFirst = random.chance(0.8);
    }
    if (random.chance(0.02)) {
        step.sampleRate = randomSampleRate(random);
        step.suspendFirst = true;
        step.resume = true;
    }
    if (random.chance(0.03)) {
        step.changeTransport = true;
        step.transport = randomTransport(random);
    }
    if (random.chance(0.02)) {
        for (int i = random.between(1, 4); i > 0; --i) {
            step.midi.push_back(
                vhost::controlChange(random.between(0, 15), random.between(0, 127), random.between(0, 127)));
        }
    }
    step.frames = randomBlockSize(random);
    step.replacing = random.chance(0.7);
    step.accumulateBase = static_cast<float>(random.unit() - 0.5);
    return step;
}

std::string Step::describe() const {
    std::string text;
    char item[96];
    for (const auto& [index, value] : parameters) {
        std::snprintf(item, sizeof(item), "set %d=%g; ", index, static_cast<double>(value));
        text += item;
    }
    if (changeProgram) {
        std::snprintf(item, sizeof(item), "program %ld; ", static_cast<long>(program));
        text += item;
    }
    if (sampleRate > 0.0) {
        std::snprintf(item, sizeof(item), "rate %.1f; ", sampleRate);
        text += item;
    }
    if (resume) {
        text += suspendFirst ? "suspend+resume; " : "resume; ";
    }
    if (changeTransport) {
        std::snprintf(item, sizeof(item), "tempo %g beat %g flags %#x%s; ", transport.tempo,
                      transport.startBeat, static_cast<unsigned>(transport.flags),
                      transport.available ? "" : " (no record)");
        text += item;
    }
    if (!midi.empty()) {
        text += std::to_string(midi.size()) + " control changes; ";
    }
    std::snprintf(item, sizeof(item), "%s %d frames", replacing ? "processReplacing" : "process", frames);
    return text + item;
}

void applyStep(vhost::PluginHost& host, const Step& step) {
    for (const auto& [index, value] : step.parameters) {
        host.setParameter(index, value);
    }
    if (step.changeProgram) {
        host.dispatch(vst2::effSetProgram, 0, step.program);
    }
    if (step.resume && step.suspendFirst) {
        host.suspend();
    }
    if (step.sampleRate > 0.0) {
        host.setSampleRate(step.sampleRate);
    }
    if (step.resume) {
        host.resume();
    }
    if (step.changeTransport) {
        host.transport() = step.transport;
    }
    if (!step.midi.empty()) {
        host.processEvents(step.midi);
    }
}

void runBlock(vhost::PluginHost& host, const Step& step, const float* inL, const float* inR, float* outL,
              float* outR) {
    if (step.replacing) {
        // Whatever the buffers held must be overwritten.
        for (int i = 0; i < step.frames; ++i) {
            outL[i] = outR[i] = std::numeric_limits<float>::quiet_NaN();
        }
        host.processReplacing(inL, inR, outL, outR, step.frames);
    } else {
        for (int i = 0; i < step.frames; ++i) {
            outL[i] = outR[i] = step.accumulateBase;
        }
        host.process(inL, inR, outL, outR, step.frames);
    }
}

bool checkBlock(float outValue, float mixValue, const Step& step, const float* inL, const float* inR,
                const float* outL, const float* outR, double& wetPeak, std::string& failure) {
    const double o = unitClamp(outValue);
    const double g = o * o * o * o;
    const double m = unitClamp(mixValue);
    const double base = step.replacing ? 0.0 : step.accumulateBase;
    const float* ins[2] = {inL, inR};
    const float* outs[2] = {outL, outR};
    for (int c = 0; c < 2; ++c) {
        for (int i = 0; i < step.frames; ++i) {
            const float y = outs[c][i];
            const double v = static_cast<double>(y) - base;
            // The accumulating call adds in float: one more rounding of the sum.
            const double slack = step.replacing ? 0.0 : 1e-7 * (std::fabs(base) + std::fabs(v));
            const double bound = outputBound(outValue, mixValue, ins[c][i]) + slack;
            if (!std::isfinite(y) || std::fabs(v) > bound) {
                char text[200];
                std::snprintf(text, sizeof(text),
                              "channel %d frame %d: output %g (bound %g; Out %g, Mix %g, input %g)", c + 1, i,
                              static_cast<double>(y), bound, static_cast<double>(outValue),
                              static_cast<double>(mixValue), static_cast<double>(ins[c][i]));
                failure = text;
                return false;
            }
            // Where the wet share is large enough, read the wet sample back out of the mix.
            if (m >= 0.25 && g >= 0.01 && std::isfinite(ins[c][i])) {
                const double wet = (v / g - (1.0 - m) * static_cast<double>(ins[c][i])) / m;
                wetPeak = std::max(wetPeak, std::fabs(wet));
            }
        }
    }
    return true;
}

void ActionLog::add(std::string text) {
    lines.push_back(std::move(text));
    if (lines.size() > 40) {
        lines.pop_front();
    }
}

std::string ActionLog::text() const {
    std::string all;
    for (const std::string& line : lines) {
        all += "  " + line + "\n";
    }
    return all;
}

} // namespace battery
