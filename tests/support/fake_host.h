#pragma once

// A stand-in host for white-box tests of the effect, its editor and the
// fuzzers: answers its version, serves a time record (or none) and records
// every other call the effect makes.

#include <memory>
#include <string>
#include <vector>

#include "common/vst2.h"
#include "host/plugin_effect.h"

struct FakeHost {
    struct Call {
        vst2::int32 opcode;
        vst2::int32 index;
        float opt;
    };

    static inline vst2::VstTimeInfo time{};
    static inline bool provideTime = true;
    static inline std::vector<Call> calls;

    static void reset() {
        time = {};
        time.sampleRate = 44100.0;
        time.tempo = 120.0;
        time.ppqPos = 0.0;
        time.flags = vst2::kVstTempoValid | vst2::kVstPpqPosValid;
        provideTime = true;
        calls.clear();
    }

    static vst2::intptr callback(vst2::AEffect*, vst2::int32 opcode, vst2::int32 index, vst2::intptr, void*,
                                 float opt) {
        switch (opcode) {
        case vst2::audioMasterVersion:
            return 2400;
        case vst2::audioMasterGetTime:
            return provideTime ? reinterpret_cast<vst2::intptr>(&time) : 0;
        default:
            calls.push_back({opcode, index, opt});
            return 0;
        }
    }

    static int count(vst2::int32 opcode) {
        int n = 0;
        for (const Call& c : calls) {
            n += c.opcode == opcode ? 1 : 0;
        }
        return n;
    }
    // The edit calls as they came: "automate 19", "begin 19", "end 19" (idles left out).
    static std::vector<std::string> log() {
        std::vector<std::string> out;
        for (const Call& c : calls) {
            switch (c.opcode) {
            case vst2::audioMasterAutomate:
                out.push_back("automate " + std::to_string(c.index));
                break;
            case vst2::audioMasterBeginEdit:
                out.push_back("begin " + std::to_string(c.index));
                break;
            case vst2::audioMasterEndEdit:
                out.push_back("end " + std::to_string(c.index));
                break;
            default:
                break;
            }
        }
        return out;
    }
    // The values reported for one parameter, in order.
    static std::vector<float> automated(vst2::int32 index) {
        std::vector<float> out;
        for (const Call& c : calls) {
            if (c.opcode == vst2::audioMasterAutomate && c.index == index) {
                out.push_back(c.opt);
            }
        }
        return out;
    }
};

// The effect object holds every sample buffer inline (several MB): always on the heap.
inline std::unique_ptr<PluginEffect> makeEffect() {
    FakeHost::reset();
    return std::make_unique<PluginEffect>(&FakeHost::callback);
}

// Stereo buffers for one host block.
struct StereoBlock {
    explicit StereoBlock(int frames) : inL(frames), inR(frames), outL(frames), outR(frames) {}
    std::vector<float> inL, inR, outL, outR;
    float* in[2];
    float* out[2];
    float** inputs() {
        in[0] = inL.data();
        in[1] = inR.data();
        return in;
    }
    float** outputs() {
        out[0] = outL.data();
        out[1] = outR.data();
        return out;
    }
    int frames() const { return static_cast<int>(inL.size()); }
};
