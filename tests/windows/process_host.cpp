// A processing host for the built module, the same source on Windows and on
// Linux: it loads the module as hosts do, checks its two entry points, and
// renders each setting of process_runs.h at each host rate, in host blocks of
// random size, on a thread the platform makes (as a host's audio thread is
// made). Every output sample is written to a file; run on the Linux module it
// makes the reference that the Windows DLLs must match byte for byte.
//
// Usage: vornhalt-process-host MODULE OUTPUT [--reference FILE]
// With --reference, each run is compared with the same run in FILE and the
// first difference is reported; the exit status is 1 on any difference.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "common/vst2.h"
#include "host_platform.h"
#include "process_runs.h"

namespace {

using namespace phost;

// The host's side of one run: its transport, and the time record the effect asks for.
struct HostState {
    Transport transport;
    double sampleRate = 44100.0;
    double samplePos = 0.0;
    vst2::VstTimeInfo time{};
};

HostState* activeHost = nullptr; // one effect at a time

const vst2::VstTimeInfo* timeInfo(HostState& host) {
    vst2::VstTimeInfo& t = host.time;
    t = {};
    const double seconds = host.samplePos / host.sampleRate;
    t.samplePos = host.samplePos;
    t.sampleRate = host.sampleRate;
    t.nanoSeconds = seconds * 1e9;
    t.tempo = host.transport.tempo;
    t.ppqPos = host.transport.startBeat + seconds * host.transport.tempo / 60.0;
    t.barStartPos = std::floor(t.ppqPos / 4.0) * 4.0;
    t.timeSigNumerator = 4;
    t.timeSigDenominator = 4;
    t.flags = vst2::kVstTransportPlaying | vst2::kVstNanosValid | vst2::kVstPpqPosValid |
              vst2::kVstTempoValid | vst2::kVstBarsValid | vst2::kVstTimeSigValid;
    return &t;
}

vst2::intptr hostCallback(vst2::AEffect*, vst2::int32 opcode, vst2::int32, vst2::intptr, void*, float) {
    switch (opcode) {
    case vst2::audioMasterVersion:
        return 2400;
    case vst2::audioMasterGetTime:
        return activeHost != nullptr ? reinterpret_cast<vst2::intptr>(timeInfo(*activeHost)) : 0;
    case vst2::audioMasterGetSampleRate:
        return activeHost != nullptr ? static_cast<vst2::intptr>(activeHost->sampleRate) : 0;
    case vst2::audioMasterGetBlockSize:
        return kMaxBlock;
    default:
        return 0;
    }
}

struct Run {
    vst2::AEffect* effect = nullptr;
    HostState host;
    std::uint32_t seed = 0;
    std::vector<float> inL, inR, outL, outR;
    std::uint16_t controlWord = 0;
};

// [the processing thread] Every block of the run, its sizes drawn from the run's seed; one in
// sixteen is empty, as some hosts send them.
void processRun(void* argument) {
    auto& run = *static_cast<Run*>(argument);
    run.controlWord = x87ControlWord();
    Lcg blocks(run.seed);
    const auto frames = static_cast<int>(run.inL.size());
    int done = 0;
    while (done < frames) {
        const std::uint32_t draw = blocks.next();
        const int size = draw % 16 == 0 ? 0 : std::min(frames - done, 1 + static_cast<int>(draw % kMaxBlock));
        float* inputs[2] = {run.inL.data() + done, run.inR.data() + done};
        float* outputs[2] = {run.outL.data() + done, run.outR.data() + done};
        run.host.samplePos = done;
        run.effect->processReplacing(run.effect, inputs, outputs, size);
        done += size;
    }
}

vst2::intptr dispatch(vst2::AEffect* effect, vst2::int32 opcode, vst2::intptr value = 0, float opt = 0.0f) {
    return effect->dispatcher(effect, opcode, 0, value, nullptr, opt);
}

// One setting at one rate, set up on this thread and processed on a new one; the output
// interleaved. Empty on failure.
std::vector<float> render(vst2::EntryProc entry, const Setting& setting, int rate, std::uint32_t seed) {
    Run run;
    run.host.transport = setting.transport;
    run.host.sampleRate = rate;
    run.seed = seed;
    activeHost = &run.host;
    run.effect = entry(hostCallback);
    if (run.effect == nullptr || run.effect->magic != vst2::kEffectMagic ||
        (run.effect->flags & vst2::effFlagsCanReplacing) == 0) {
        std::fprintf(stderr, "the entry gave no usable effect\n");
        return {};
    }
    dispatch(run.effect, vst2::effOpen);
    dispatch(run.effect, vst2::effSetSampleRate, 0, static_cast<float>(rate));
    dispatch(run.effect, vst2::effSetBlockSize, kMaxBlock);
    for (const auto& [index, value] : setting.values) {
        run.effect->setParameter(run.effect, index, value);
    }
    dispatch(run.effect, vst2::effMainsChanged, 1);
    makeInput(rate, run.inL, run.inR);
    run.outL.assign(run.inL.size(), 0.0f);
    run.outR.assign(run.inL.size(), 0.0f);
    const bool ran = runOnNewThread(processRun, &run);
    dispatch(run.effect, vst2::effMainsChanged, 0);
    dispatch(run.effect, vst2::effClose);
    activeHost = nullptr;
    if (!ran) {
        std::fprintf(stderr, "no processing thread could be made\n");
        return {};
    }
    std::printf("%-18s %6d Hz: processing thread's x87 control word 0x%04x\n", setting.name, rate,
                run.controlWord);
    std::vector<float> interleaved(2 * run.outL.size());
    for (std::size_t i = 0; i < run.outL.size(); ++i) {
        interleaved[2 * i] = run.outL[i];
        interleaved[2 * i + 1] = run.outR[i];
    }
    return interleaved;
}

// Both entries exported; where the export table can be read (Windows), as two names of one
// function and nothing else.
bool checkEntries(const Module& module) {
    void* pluginMain = module.symbol("VSTPluginMain");
    void* legacyMain = module.symbol("main");
    if (pluginMain == nullptr || legacyMain == nullptr) {
        std::fprintf(stderr, "VSTPluginMain and main must both be exported\n");
        return false;
    }
    if (const auto names = module.exportedNames()) {
        if (pluginMain != legacyMain) {
            std::fprintf(stderr, "main must be another name of VSTPluginMain\n");
            return false;
        }
        const std::set<std::string> found(names->begin(), names->end());
        if (names->size() != 2 || found != std::set<std::string>{"VSTPluginMain", "main"}) {
            std::fprintf(stderr, "the module exports %zu names; only VSTPluginMain and main were expected:\n",
                         names->size());
            for (const std::string& name : *names) {
                std::fprintf(stderr, "  %s\n", name.c_str());
            }
            return false;
        }
    }
    return true;
}

std::uint64_t fnv1a(const std::vector<float>& samples) {
    std::uint64_t h = 0xcbf29ce484222325ull;
    const auto* bytes = reinterpret_cast<const unsigned char*>(samples.data());
    for (std::size_t i = 0; i < samples.size() * sizeof(float); ++i) {
        h = (h ^ bytes[i]) * 0x100000001b3ull;
    }
    return h;
}

// Compares the run with its part of the reference: byte for byte, or for a setting that is not
// exact, within the tolerance. Reports the first differing frame and the largest difference.
bool matchesReference(const std::vector<float>& samples, const std::vector<char>& reference,
                      std::size_t offset, bool exact) {
    const std::size_t bytes = samples.size() * sizeof(float);
    if (reference.size() < offset + bytes) {
        std::printf("    the reference is shorter than this run\n");
        return false;
    }
    if (std::memcmp(samples.data(), reference.data() + offset, bytes) == 0) {
        std::printf("    byte-identical to the reference\n");
        return true;
    }
    std::vector<float> expected(samples.size());
    std::memcpy(expected.data(), reference.data() + offset, bytes);
    std::size_t first = samples.size();
    double largest = 0.0;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        if (std::memcmp(&samples[i], &expected[i], sizeof(float)) != 0) {
            first = std::min(first, i);
            const double difference = std::fabs(static_cast<double>(samples[i]) - expected[i]);
            largest = std::isnan(difference) ? INFINITY : std::max(largest, difference);
        }
    }
    const bool within = !exact && largest <= kLibraryTolerance;
    std::printf("    %s the reference from frame %zu on, by at most %.3g\n",
                within ? "within the C libraries' tolerance of" : "differs from", first / 2, largest);
    return within;
}

} // namespace

int main(int argc, char** argv) {
    if (!(argc == 3 || (argc == 5 && std::strcmp(argv[3], "--reference") == 0))) {
        std::fprintf(stderr, "usage: %s MODULE OUTPUT [--reference FILE]\n", argv[0]);
        return 2;
    }
    Module module(argv[1]);
    if (!module.loaded()) {
        std::fprintf(stderr, "%s: %s\n", argv[1], module.error().c_str());
        return 1;
    }
    if (!checkEntries(module)) {
        return 1;
    }
    std::vector<char> reference;
    if (argc == 5) {
        std::ifstream in(argv[4], std::ios::binary);
        reference.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    // The legacy entry makes the effects at 48 kHz, VSTPluginMain the others.
    const auto pluginMain = reinterpret_cast<vst2::EntryProc>(module.symbol("VSTPluginMain"));
    const auto legacyMain = reinterpret_cast<vst2::EntryProc>(module.symbol("main"));
    bool allSame = true;
    std::size_t offset = 0;
    std::uint32_t seed = 1;
    for (const Setting& setting : processSettings()) {
        for (int rate : kRates) {
            const std::vector<float> samples =
                render(rate == 48000 ? legacyMain : pluginMain, setting, rate, seed++);
            if (samples.size() != 2 * static_cast<std::size_t>(framesOf(rate))) {
                return 1;
            }
            out.write(reinterpret_cast<const char*>(samples.data()),
                      static_cast<std::streamsize>(samples.size() * sizeof(float)));
            std::printf("%-18s %6d Hz: %d frames, hash %016llx\n", setting.name, rate, framesOf(rate),
                        static_cast<unsigned long long>(fnv1a(samples)));
            if (argc == 5) {
                allSame = matchesReference(samples, reference, offset, setting.exact) && allSame;
            }
            offset += samples.size() * sizeof(float);
        }
    }
    if (!out) {
        std::fprintf(stderr, "%s: could not be written\n", argv[2]);
        return 1;
    }
    if (argc == 5 && offset != reference.size()) {
        std::printf("the reference holds %zu bytes, the runs %zu\n", reference.size(), offset);
        allSame = false;
    }
    if (argc == 5) {
        std::printf(allSame ? "every run matches %s\n" : "FAILED: runs differ from %s\n", argv[4]);
    }
    return allSame ? 0 : 1;
}
