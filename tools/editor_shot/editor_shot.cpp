#include "editor_shot/editor_shot.h"

#include <cairo.h>
#include <fontconfig/fontconfig.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "common/program_record.h"
#include "editor/editor_bridge.h"
#include "gui/cairo/cairo_surface.h"
#include "gui/headless/headless_platform.h"

namespace editorshot {

namespace {

// The stand-in host: it answers its version and reports the tempo, so the
// displays of synced times show grid steps at the requested tempo.
struct ShotHost {
    static inline vst2::VstTimeInfo time{};

    static vst2::intptr callback(vst2::AEffect*, vst2::int32 opcode, vst2::int32, vst2::intptr, void*,
                                 float) {
        switch (opcode) {
        case vst2::audioMasterVersion:
            return 2400;
        case vst2::audioMasterGetTime:
            return reinterpret_cast<vst2::intptr>(&time);
        default:
            return 0;
        }
    }
};

bool readStream(std::FILE* stream, std::vector<std::uint8_t>& bytes) {
    std::uint8_t buffer[4096];
    for (;;) {
        const std::size_t got = std::fread(buffer, 1, sizeof buffer, stream);
        bytes.insert(bytes.end(), buffer, buffer + got);
        if (got < sizeof buffer) {
            return std::ferror(stream) == 0;
        }
        if (bytes.size() > (1u << 24)) {
            return false; // nothing this large is a bank
        }
    }
}

bool readChunk(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error) {
    if (path == "-") {
        if (!readStream(stdin, bytes)) {
            error = "cannot read the bank chunk from standard input";
            return false;
        }
        return true;
    }
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    const bool ok = readStream(file, bytes);
    std::fclose(file);
    if (!ok) {
        error = "cannot read " + path;
    }
    return ok;
}

bool parseNumber(const std::string& text, double& value) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &end);
    return errno == 0 && end != nullptr && *end == '\0' && std::isfinite(value);
}

// The PNG goes to a temporary file beside the target, renamed over it once
// complete.
bool savePng(HeadlessWindow& window, const std::string& output, std::string& error) {
    std::string temporary = output + ".XXXXXX";
    std::vector<char> name(temporary.begin(), temporary.end());
    name.push_back('\0');
    const int fd = mkstemp(name.data());
    if (fd < 0) {
        error = "cannot create a file beside " + output + ": " + std::strerror(errno);
        return false;
    }
    // Readable as any new file there, not only by its owner as mkstemp makes it.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    close(fd);
    temporary = name.data();
    if (!window.savePng(temporary.c_str())) {
        std::remove(temporary.c_str());
        error = "cannot write " + output;
        return false;
    }
    if (std::rename(temporary.c_str(), output.c_str()) != 0) {
        error = "cannot write " + output + ": " + std::strerror(errno);
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

// After the last drawing, the font libraries' caches are released, so the
// leak checker of a sanitizer build sees only what the program failed to free.
void releaseGraphicsCaches() {
    releaseCachedFonts();
    cairo_debug_reset_static_data();
    FcFini();
}

} // namespace

bool drawEditorShot(const ShotRequest& request, std::string& error) {
    if (!(request.sampleRate >= 1000.0 && request.sampleRate <= 1.0e6)) {
        error = "the sample rate must lie between 1000 and 1000000 Hz";
        return false;
    }
    if (!(request.bpm >= 1.0 && request.bpm <= 999.0)) {
        error = "the tempo must lie between 1 and 999 BPM";
        return false;
    }
    if (request.program < 0 || request.program >= kProgramCount) {
        error = "program " + std::to_string(request.program) + " does not exist (0 to " +
                std::to_string(kProgramCount - 1) + ")";
        return false;
    }

    ShotHost::time = {};
    ShotHost::time.sampleRate = request.sampleRate;
    ShotHost::time.tempo = request.bpm;
    ShotHost::time.flags = vst2::kVstTempoValid;
    auto effect = std::make_unique<PluginEffect>(&ShotHost::callback);
    effect->setSampleRate(static_cast<float>(request.sampleRate));
    effect->setProgram(request.program);
    if (!request.bankChunk.empty()) {
        std::vector<std::uint8_t> chunk = request.bankChunk;
        if (effect->setChunk(chunk.data(), static_cast<std::int32_t>(chunk.size()), false) == 0) {
            error = "the bank chunk has " + std::to_string(chunk.size()) + " bytes; the effect takes " +
                    std::to_string(kBankBytes);
            return false;
        }
    }
    effect->engine.updateHostTime();

    bool ok = false;
    {
        auto platformOwned = std::make_unique<HeadlessPlatform>();
        HeadlessPlatform& platform = *platformOwned;
        EditorBridge bridge(*effect, std::move(platformOwned));
        static int parentWindow;
        if (!bridge.open(&parentWindow, nullptr) || platform.lastWindow() == nullptr) {
            error = "the editor could not be opened";
        } else {
            platform.processEvents(); // the window's first paint draws every view
            bridge.idle();
            ok = savePng(*platform.lastWindow(), request.output, error);
        }
        bridge.close();
    }
    return ok;
}

std::string usageText() {
    return R"(Usage: vornhalt-editor-shot [options] OUTPUT.png

Draws the Vornhalt editor as it looks for an effect state, without a display.

  --bank-chunk FILE   the effect's bank chunk (14592 bytes), '-' for standard input;
                      without it, the factory bank
  --program N         the current program (default 0)
  --sample-rate HZ    the sample rate the displayed values are derived at (default 44100)
  --bpm X             the tempo for the synced displays (default 120)
)";
}

int runEditorShot(const std::vector<std::string>& arguments) {
    ShotRequest request;
    std::string chunkPath;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        auto value = [&](std::string& target) {
            if (i + 1 >= arguments.size()) {
                return false;
            }
            target = arguments[++i];
            return true;
        };
        std::string text;
        double number = 0.0;
        if (argument == "--help" || argument == "-h") {
            std::fputs(usageText().c_str(), stdout);
            return 0;
        } else if (argument == "--bank-chunk") {
            if (!value(chunkPath)) {
                std::fprintf(stderr, "vornhalt-editor-shot: --bank-chunk needs a file\n");
                return 2;
            }
        } else if (argument == "--program" || argument == "--sample-rate" || argument == "--bpm") {
            if (!value(text) || !parseNumber(text, number)) {
                std::fprintf(stderr, "vornhalt-editor-shot: %s needs a number\n", argument.c_str());
                return 2;
            }
            if (argument == "--program") {
                if (number != std::floor(number) || number < 0.0 || number > 1.0e6) {
                    std::fprintf(stderr, "vornhalt-editor-shot: --program needs a program number\n");
                    return 2;
                }
                request.program = static_cast<int>(number);
            } else if (argument == "--sample-rate") {
                request.sampleRate = number;
            } else {
                request.bpm = number;
            }
        } else if (!argument.empty() && argument[0] == '-') {
            std::fprintf(stderr, "vornhalt-editor-shot: unknown option %s\n%s", argument.c_str(),
                         usageText().c_str());
            return 2;
        } else if (request.output.empty()) {
            request.output = argument;
        } else {
            std::fprintf(stderr, "vornhalt-editor-shot: more than one output file\n");
            return 2;
        }
    }
    if (request.output.empty()) {
        std::fputs(usageText().c_str(), stderr);
        return 2;
    }

    std::string error;
    if (!chunkPath.empty() && !readChunk(chunkPath, request.bankChunk, error)) {
        std::fprintf(stderr, "vornhalt-editor-shot: %s\n", error.c_str());
        return 1;
    }
    if (!chunkPath.empty() && request.bankChunk.empty()) {
        std::fprintf(stderr, "vornhalt-editor-shot: the bank chunk is empty\n");
        return 1;
    }
    const bool ok = drawEditorShot(request, error);
    releaseGraphicsCaches();
    if (!ok) {
        std::fprintf(stderr, "vornhalt-editor-shot: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

} // namespace editorshot
