#include "render/render_app.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <exception>

#include "host/plugin_host.h"
#include "render/audio_io.h"
#include "render/editor_shot_call.h"
#include "render/options.h"
#include "render/plugin_state.h"
#include "render/preset_file.h"
#include "render/render_loop.h"
#include "render/safe_file.h"
#include "render/vornhalt_parameters.h"

namespace vrender {

namespace {

using vhost::PluginHost;

void save(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::string error;
    if (!writeFileSafely(path, bytes, error)) {
        throw Failure{error};
    }
}

void printInfo(PluginHost& host) {
    const vst2::AEffect& effect = *host.effect();
    const vhost::TextResult name = host.effectName();
    const vhost::TextResult vendor = host.vendorString();
    const vhost::TextResult product = host.productString();
    auto answered = [](const vhost::TextResult& r) {
        return r.text + (r.result == 0 ? " (answered as not supported)" : "");
    };
    std::string flags;
    const std::pair<int, const char*> flagNames[] = {
        {vst2::effFlagsHasEditor, "has editor"},
        {vst2::effFlagsCanReplacing, "processReplacing"},
        {vst2::effFlagsProgramChunks, "programs are chunks"},
        {vst2::effFlagsIsSynth, "synth"},
        {vst2::effFlagsNoSoundInStop, "no sound in stop"},
        {vst2::effFlagsCanDoubleReplacing, "double replacing"},
    };
    for (const auto& [bit, text] : flagNames) {
        if ((effect.flags & bit) != 0) {
            flags += (flags.empty() ? "" : ", ") + std::string(text);
        }
    }
    std::string canDo;
    for (const char* text : {"receiveVstEvents", "receiveVstMidiEvent", "receiveVstTimeInfo", "sendVstEvents",
                             "sendVstMidiEvent", "offline", "bypass", "midiProgramNames"}) {
        if (host.canDo(text) > 0) {
            canDo += (canDo.empty() ? "" : ", ") + std::string(text);
        }
    }
    std::printf("plug-in:        %s\n", host.path().c_str());
    std::printf("effect name:    %s\n", answered(name).c_str());
    std::printf("vendor:         %s\n", answered(vendor).c_str());
    std::printf("product:        %s\n", answered(product).c_str());
    std::printf("vendor version: %ld\n", static_cast<long>(host.vendorVersion()));
    std::printf("unique id:      %s\n", idText(effect.uniqueID).c_str());
    std::printf("version:        %d\n", effect.version);
    std::printf("inputs:         %d\n", effect.numInputs);
    std::printf("outputs:        %d\n", effect.numOutputs);
    std::printf("parameters:     %d\n", effect.numParams);
    std::printf("programs:       %d (current %d, %s)\n", effect.numPrograms, host.program(),
                quoted(host.programName()).c_str());
    std::printf("flags:          0x%x (%s)\n", static_cast<unsigned>(effect.flags), flags.c_str());
    std::printf("initial delay:  %d samples\n", effect.initialDelay);
    std::printf("can do:         %s\n", canDo.empty() ? "(nothing asked)" : canDo.c_str());
}

void printParameters(PluginHost& host, const DisplayContext& context) {
    const vst2::AEffect& effect = *host.effect();
    const bool known = isVornhalt(effect);
    std::vector<float> stored(static_cast<std::size_t>(effect.numParams));
    for (std::int32_t i = 0; i < effect.numParams; ++i) {
        stored[static_cast<std::size_t>(i)] = host.getParameter(i);
    }
    std::printf("%5s  %-16s  %-10s  %s\n", "index", "name", "stored", known ? "editor shows" : "display");
    for (std::int32_t i = 0; i < effect.numParams; ++i) {
        const std::string reported = host.parameterName(i);
        const std::string name = reported.empty() ? std::string(1, '-') : reported;
        std::string shown;
        if (known) {
            shown = editorText(stored.data(), i, context);
        } else {
            shown = trimmed(host.parameterDisplay(i) + " " + host.parameterLabel(i));
        }
        std::printf("%5d  %-16s  %-10.6g  %s\n", i, name.c_str(),
                    static_cast<double>(stored[static_cast<std::size_t>(i)]), shown.c_str());
    }
}

std::string secondsText(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, seconds < 10.0 ? "%.2f s" : "%.1f s", seconds);
    return text;
}

void render(PluginHost& host, const Options& options, AudioReader& reader, int outputFormat) {
    const AudioFormat& in = reader.format();
    TempFile file;
    std::string error;
    if (!file.create(options.output, error)) {
        throw Failure{error};
    }
    AudioWriter writer;
    if (!writer.open(file, outputFormat, in.sampleRate, 2, error)) {
        throw Failure{options.output + ": " + error};
    }

    RenderJob job;
    job.inputChannels = in.channels;
    job.blockSize = options.blockSize;
    job.tailFrames = static_cast<std::int64_t>(std::llround(options.tailSeconds * in.sampleRate));
    const std::int64_t expected = std::max<std::int64_t>(in.frames, 0) + job.tailFrames;
    ProgressBar bar(expected, in.sampleRate, !options.quiet && isatty(STDERR_FILENO) != 0);

    RenderResult result;
    const bool ok = renderFrames(
        host, job,
        [&reader](float* data, std::int64_t frames, std::string& e) { return reader.read(data, frames, e); },
        [&writer](const float* data, std::int64_t frames, std::string& e) {
            return writer.write(data, frames, e);
        },
        [&bar](std::int64_t done) { bar.update(done); }, result, error);
    bar.finish();
    if (!ok || !writer.close(error) || !file.commit(error)) {
        throw Failure{error};
    }

    const double audioSeconds = static_cast<double>(result.outputFrames) / in.sampleRate;
    const double speed = result.seconds > 0.0 ? audioSeconds / result.seconds : 0.0;
    std::printf("%s: in peak %s, RMS %s | out peak %s, RMS %s | %s of audio in %s, %.1fx real time\n",
                options.output.c_str(), LevelMeter::dbfsText(result.input.peak()).c_str(),
                LevelMeter::dbfsText(result.input.rms()).c_str(),
                LevelMeter::dbfsText(result.output.peak()).c_str(),
                LevelMeter::dbfsText(result.output.rms()).c_str(), secondsText(audioSeconds).c_str(),
                secondsText(result.seconds).c_str(), speed);
    // --quiet silences the progress bar only: a clipped output is worth a word in any run.
    if (result.output.peak() > 1.0 && clipsAtFullScale(outputFormat)) {
        std::fprintf(stderr, "vornhalt-render: note: the output peaks above full scale and was clipped\n");
    }
}

// The folder of the running program, with a trailing slash; empty when it cannot be read.
std::string programFolder() {
    char buffer[4096];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0) {
        return {};
    }
    const std::string self(buffer, static_cast<std::size_t>(length));
    const std::size_t slash = self.rfind('/');
    return slash == std::string::npos ? std::string() : self.substr(0, slash + 1);
}

void drawEditor(PluginHost& host, const Options& options, double sampleRate) {
    if (!isVornhalt(*host.effect()) || !takesChunks(*host.effect())) {
        throw Failure{"--editor-shot draws Vornhalt's editor; " + host.path() + " is another plug-in"};
    }
    EditorShotCall call;
    const std::string folder = programFolder();
    if (folder.empty()) {
        throw Failure{"cannot find the folder of this program to look for vornhalt-editor-shot"};
    }
    call.program = folder + "vornhalt-editor-shot";
    call.bankChunk = host.getChunk(false);
    call.currentProgram = host.program();
    call.sampleRate = sampleRate;
    call.bpm = options.bpm;
    call.output = options.editorShot;
    std::string error;
    if (!runEditorShot(call, error)) {
        throw Failure{error};
    }
}

// The rename that ends a render replaces whatever OUTPUT names, so OUTPUT must not be INPUT under
// any name ("./x.wav", a full path, a link): the files are compared, not the names. An OUTPUT that
// does not exist yet cannot be INPUT.
void checkOutputPath(const Options& options) {
    struct stat out {};
    if (stat(options.output.c_str(), &out) != 0) {
        return;
    }
    if (S_ISDIR(out.st_mode)) {
        throw Failure{options.output + " is a folder; OUTPUT must be a file name"};
    }
    struct stat in {};
    if (stat(options.input.c_str(), &in) == 0 && in.st_dev == out.st_dev && in.st_ino == out.st_ino) {
        throw Failure{"OUTPUT " + options.output + " is the same file as INPUT " + options.input +
                          "; rendering into it would destroy the input",
                      2};
    }
}

int run(const std::vector<std::string>& arguments) {
    Options options;
    std::string error;
    if (!parseOptions(arguments, options, error)) {
        throw Failure{error, 2};
    }
    if (options.help) {
        std::fputs(helpText().c_str(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("%s\n", versionText().c_str());
        return 0;
    }

    // Everything that can be checked before the plug-in runs is checked first.
    AudioReader reader;
    int outputFormat = 0;
    double sampleRate = 44100.0;
    if (options.renders()) {
        const int container = chooseOutputContainer(options.format, options.output, error);
        if (container == 0) {
            throw Failure{error, 2};
        }
        checkOutputPath(options);
        if (!reader.open(options.input, error)) {
            throw Failure{error};
        }
        sampleRate = reader.format().sampleRate;
        outputFormat = chooseOutputFormat(reader.format().format, container, options.bits,
                                          reader.format().sampleRate, error);
        if (outputFormat == 0) {
            throw Failure{error, options.format.empty() && options.bits.empty() ? 1 : 2};
        }
    }

    std::string pluginPath = options.plugin;
    if (pluginPath.empty()) {
        pluginPath = defaultPluginPath();
        if (pluginPath.empty()) {
            throw Failure{
                "cannot find the folder of this program to look for vornhalt.so; use --plugin PATH"};
        }
    }
    PluginHost host;
    if (!host.load(pluginPath)) {
        throw Failure{"cannot load the plug-in: " + host.error()};
    }
    host.transport().tempo = options.bpm;
    host.transport().startBeat = options.startBeat;
    host.setSamplePosition(0.0);
    host.open(sampleRate, options.blockSize);
    applySettings(host, options);

    if (options.info) {
        printInfo(host);
    }
    if (options.listParams) {
        printParameters(host, DisplayContext{static_cast<float>(sampleRate), options.bpm});
    }
    if (!options.savePreset.empty()) {
        save(options.savePreset, encodeProgram(currentProgramFile(host)));
    }
    if (!options.saveBank.empty()) {
        save(options.saveBank, encodeBank(currentBankFile(host)));
    }
    if (!options.editorShot.empty()) {
        drawEditor(host, options, sampleRate);
    }
    std::fflush(stdout);
    if (options.renders()) {
        render(host, options, reader, outputFormat);
    }
    return 0;
}

} // namespace

std::string defaultPluginPath() {
    const std::string folder = programFolder();
    return folder.empty() ? folder : folder + "vornhalt.so";
}

int runRenderer(const std::vector<std::string>& arguments) {
    installInterruptCleanup();
    try {
        return run(arguments);
    } catch (const Failure& failure) {
        std::fflush(stdout);
        std::fprintf(stderr, "vornhalt-render: error: %s\n", failure.message.c_str());
        return failure.status;
    } catch (const std::exception& exception) {
        std::fflush(stdout);
        std::fprintf(stderr, "vornhalt-render: error: %s\n", exception.what());
        return 1;
    }
}

} // namespace vrender
