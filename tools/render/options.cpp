#include "render/options.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string_view>

#include "common/program_record.h"

namespace vrender {

namespace {

bool parseInteger(const std::string& text, long long& value) {
    if (text.empty()) {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    value = std::strtoll(text.c_str(), &end, 10);
    return errno == 0 && end != nullptr && *end == '\0';
}

// One pass over the command line, as the option being read sees it: its name (without a value
// given after '='), and the arguments after it for the options that take a value.
class OptionReader {
public:
    OptionReader(const std::vector<std::string>& arguments, std::string& error)
        : arguments_(arguments), error_(error) {}

    bool atEnd() const { return index_ >= arguments_.size(); }
    const std::string& current() const { return arguments_[index_]; }
    void advance() { ++index_; }

    // "--name=value" and "--name value" are the same.
    void beginOption() {
        name_ = current();
        inlineValue_.reset();
        const std::size_t equals = name_.find('=');
        if (name_.rfind("--", 0) == 0 && equals != std::string::npos) {
            inlineValue_ = name_.substr(equals + 1);
            name_ = name_.substr(0, equals);
        }
    }

    const std::string& name() const { return name_; }

    bool fail(const std::string& message) {
        error_ = message;
        return false;
    }

    bool flag(bool& target) {
        if (inlineValue_) {
            return fail(name_ + " takes no value");
        }
        target = true;
        return true;
    }

    bool value(std::string& target) {
        if (inlineValue_) {
            target = *inlineValue_;
        } else if (index_ + 1 < arguments_.size()) {
            target = arguments_[++index_];
        } else {
            return fail(name_ + " needs a value");
        }
        return true;
    }

    // Options that name one thing may be given once; --set may be repeated.
    bool once() {
        for (const std::string& s : seen_) {
            if (s == name_) {
                return fail(name_ + " is given twice");
            }
        }
        seen_.push_back(name_);
        return true;
    }

    // once() and value() together, as every option that names one thing starts.
    bool onceWithValue(std::string& target) { return once() && value(target); }

private:
    const std::vector<std::string>& arguments_;
    std::string& error_;
    std::size_t index_ = 0;
    std::string name_;
    std::optional<std::string> inlineValue_;
    std::vector<std::string> seen_;
};

using OptionHandler = bool (*)(OptionReader&, Options&);

template <bool Options::*Target> bool readFlag(OptionReader& reader, Options& options) {
    return reader.flag(options.*Target);
}

// Paths and names: an empty one counts as missing.
template <std::string Options::*Target> bool readText(OptionReader& reader, Options& options) {
    std::string text;
    if (!reader.onceWithValue(text)) {
        return false;
    }
    if (text.empty()) {
        return reader.fail(reader.name() + " needs a value");
    }
    options.*Target = text;
    return true;
}

bool readSetting(OptionReader& reader, Options& options) {
    std::string text;
    if (!reader.value(text)) {
        return false;
    }
    const std::size_t at = text.find('=');
    if (at == std::string::npos || at == 0) {
        return reader.fail("--set needs NAME=VALUE, got '" + text + "'");
    }
    options.settings.push_back({text.substr(0, at), text.substr(at + 1)});
    return true;
}

// The option's value as a number in low..high, stored only when it is one;
// otherwise `need` (what the option needs) and the text given are the error.
bool readIntegerIn(OptionReader& reader, long long low, long long high, const std::string& need,
                   long long& n) {
    std::string text;
    if (!reader.onceWithValue(text)) {
        return false;
    }
    if (!parseInteger(text, n) || n < low || n > high) {
        return reader.fail(need + ", got '" + text + "'");
    }
    return true;
}

bool readNumberIn(OptionReader& reader, double low, double high, const std::string& need, double& x) {
    std::string text;
    if (!reader.onceWithValue(text)) {
        return false;
    }
    double value = 0.0;
    if (!parseNumber(text, value) || value < low || value > high) {
        return reader.fail(need + ", got '" + text + "'");
    }
    x = value;
    return true;
}

bool readBlock(OptionReader& reader, Options& options) {
    long long n = 0;
    if (!readIntegerIn(reader, 1, kMaxBlockSize,
                       "--block needs a whole number of frames from 1 to " + std::to_string(kMaxBlockSize),
                       n)) {
        return false;
    }
    options.blockSize = static_cast<std::int32_t>(n);
    return true;
}

bool readProgram(OptionReader& reader, Options& options) {
    long long n = 0;
    if (!readIntegerIn(reader, 0, 1000000, "--program needs a program number (0 is the first)", n)) {
        return false;
    }
    options.program = static_cast<int>(n);
    return true;
}

bool readTail(OptionReader& reader, Options& options) {
    return readNumberIn(reader, 0.0, kMaxTailSeconds, "--tail needs seconds from 0 to 3600",
                        options.tailSeconds);
}

bool readBpm(OptionReader& reader, Options& options) {
    return readNumberIn(reader, 1.0, kMaxBpm, "--bpm needs a tempo from 1 to 999 beats per minute",
                        options.bpm);
}

bool readStartBeat(OptionReader& reader, Options& options) {
    return readNumberIn(reader, -std::numeric_limits<double>::max(), std::numeric_limits<double>::max(),
                        "--start-beat needs a number of beats", options.startBeat);
}

struct OptionEntry {
    std::string_view name;
    OptionHandler read;
};

// Every option by the name it is written with; -h and -q are short for --help and --quiet.
constexpr OptionEntry kOptionTable[] = {
    {"--help", readFlag<&Options::help>},
    {"-h", readFlag<&Options::help>},
    {"--version", readFlag<&Options::version>},
    {"--info", readFlag<&Options::info>},
    {"--list-params", readFlag<&Options::listParams>},
    {"--quiet", readFlag<&Options::quiet>},
    {"-q", readFlag<&Options::quiet>},
    {"--set", readSetting},
    {"--plugin", readText<&Options::plugin>},
    {"--format", readText<&Options::format>},
    {"--bits", readText<&Options::bits>},
    {"--preset", readText<&Options::preset>},
    {"--bank", readText<&Options::bank>},
    {"--save-preset", readText<&Options::savePreset>},
    {"--save-bank", readText<&Options::saveBank>},
    {"--name", readText<&Options::programName>},
    {"--editor-shot", readText<&Options::editorShot>},
    {"--block", readBlock},
    {"--program", readProgram},
    {"--tail", readTail},
    {"--bpm", readBpm},
    {"--start-beat", readStartBeat},
};

OptionHandler findOption(const std::string& name) {
    for (const OptionEntry& entry : kOptionTable) {
        if (entry.name == name) {
            return entry.read;
        }
    }
    return nullptr;
}

// INPUT and OUTPUT; without them the run must have something else to do.
bool takeFileNames(const std::vector<std::string>& positional, Options& options, std::string& error) {
    if (positional.size() == 2) {
        options.input = positional[0];
        options.output = positional[1];
    } else if (positional.size() == 1) {
        error = "give both INPUT and OUTPUT (see --help)";
        return false;
    } else if (positional.size() > 2) {
        error = "too many file names: '" + positional[2] + "' after INPUT and OUTPUT";
        return false;
    } else if (!options.info && !options.listParams && options.savePreset.empty() &&
               options.saveBank.empty() && options.editorShot.empty()) {
        error = "nothing to do: give INPUT and OUTPUT (see --help)";
        return false;
    }
    return true;
}

// The plug-in ignores a longer name, which would leave the preset under its old one.
bool checkProgramName(const Options& options, std::string& error) {
    if (options.programName.empty()) {
        return true;
    }
    if (options.savePreset.empty()) {
        error = "--name names the program --save-preset writes; give --save-preset FILE.fxp too";
        return false;
    }
    const std::size_t limit = ProgramRecord::kMaxNameCharacters;
    if (options.programName.size() > limit) {
        error = "--name takes at most " + std::to_string(limit) + " characters, '" + options.programName +
                "' has " + std::to_string(options.programName.size());
        return false;
    }
    return true;
}

} // namespace

bool parseNumber(const std::string& text, double& value) {
    if (text.empty() || std::isspace(static_cast<unsigned char>(text.front())) != 0) {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return errno == 0 && end != nullptr && *end == '\0' && std::isfinite(value);
}

bool parseOptions(const std::vector<std::string>& arguments, Options& options, std::string& error) {
    OptionReader reader(arguments, error);
    std::vector<std::string> positional;
    bool optionsEnded = false;

    for (; !reader.atEnd(); reader.advance()) {
        const std::string& argument = reader.current();
        if (optionsEnded || argument.empty() || argument[0] != '-' || argument == "-") {
            positional.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        reader.beginOption();
        const OptionHandler read = findOption(reader.name());
        if (read == nullptr) {
            error = "unknown option " + reader.name() + " (see --help)";
            return false;
        }
        if (!read(reader, options)) {
            return false;
        }
    }

    if (options.help || options.version) {
        return true;
    }
    return takeFileNames(positional, options, error) && checkProgramName(options, error);
}

std::string helpText() {
    return R"(Usage: vornhalt-render [options] INPUT OUTPUT
       vornhalt-render [options] --list-params | --info | --save-preset FILE | --save-bank FILE
       vornhalt-render [options] --editor-shot FILE.png
       vornhalt-render --help | --version

Renders an audio file through the Vornhalt VST 2 plug-in, as a host would: the plug-in is told the
file's sample rate and the block size, resumed, and driven with processReplacing block by block.

INPUT is any file libsndfile reads (WAV, AIFF, FLAC, Ogg, ...), mono or stereo; a mono file feeds
both plug-in inputs. OUTPUT is stereo at INPUT's sample rate, in the format its extension names
(.wav, .aif/.aiff, .flac, .ogg/.oga) or --format names (an extension must then agree with it),
with INPUT's sample type where that format holds it, unless --bits says otherwise. It is written
to a temporary file beside OUTPUT and renamed only when the render succeeded, so a failed run
never touches an existing OUTPUT; an OUTPUT that is INPUT under another name is refused.

Plug-in:
  --plugin PATH          the plug-in to load (default: vornhalt.so beside this program)
  --block N              frames per processing call (default 512)
  --tail SECONDS         render this much silence after INPUT so the feedback can ring out
Host time (the song position advances with every block; tempo and position are reported valid):
  --bpm X                tempo in beats per minute (default 120)
  --start-beat Y         song position of INPUT's first frame, in beats (default 0)
Settings, applied in this order: bank, program, preset, then every --set in turn:
  --bank FILE.fxb        load a bank file (all programs)
  --program N            select program N (0 is the first)
  --preset FILE.fxp      load a preset file into the current program
  --set NAME=VALUE       set a parameter by its name (any case) or index; repeatable.
                         VALUE is 0..1, except for the list parameters, which take their list
                         index or entry name: "Filter Type" 0..7 (Lowpass, Highpass, Bandpass,
                         Bandstop, Allpass, Low Shelf, High Shelf, Peaking), "Delay Sync",
                         "LFO 1 Sync", "LFO 2 Sync" 0..14 (off, 4/1, 1/1, 1/2, 1/4, 1/8, 1/16,
                         1/32, 1/64, 1/4 T, 1/8 T, 1/16 T, 1/4 D, 1/8 D, 1/16 D), "LFO 1 Shape",
                         "LFO 2 Shape" 0..7 (sine, tri, saw up, saw dn, square, exp, s & h, rand).
                         Switches also take on/off.
Saving (the state after the settings above; standard chunk files any VST 2 host can load):
  --save-preset FILE.fxp write the current program
  --name TEXT            with --save-preset: rename the current program to TEXT (at most 22
                         characters) first, so the preset carries that name
  --save-bank FILE.fxb   write all programs
  --editor-shot FILE.png draw the plug-in's editor as it looks in this state, without a display
                         (by vornhalt-editor-shot, built beside this program)
  Reading accepts both the chunk forms ('FPCh', 'FBCh') and the plain-value forms ('FxCk', 'FxBk').
Output:
  --format F             wav, aiff, flac or ogg (for an OUTPUT without an extension, or one that
                         agrees)
  --bits B               16, 24, 32 or float (not for ogg)
Information:
  --list-params          print every parameter: index, name, stored value and the value as the
                         plug-in's editor shows it (at the sample rate and tempo of this run)
  --info                 print what the plug-in answers about itself
  --quiet, -q            no progress bar (it appears on a terminal when a render takes over a second)
  --help, -h             this text
  --version              print the program's name and version

At the end a summary line gives INPUT's and OUTPUT's peak and RMS level in dBFS and the
real-time factor (seconds of audio rendered per second of work).

Example:
  vornhalt-render --set "Delay=0.3" --set "Delay Sync=1/8 D" --set Feedback=0.6 \
      --set Cutoff=0.55 --set Resonance=0.3 --bpm 96 --tail 3 guitar.wav guitar-vornhalt.wav
      (a delay needs its filter opened first: the default one turns any feedback above
      0.15 into an endless drone)
  vornhalt-render --preset mine.fxp --set Mix=0.8 drums.flac drums-wet.flac

Exit status: 0 on success, 1 when the plug-in, a file or a setting failed, 2 for a bad command line.
)";
}

std::string versionText() {
    return std::string("vornhalt-render ") + VORNHALT_VERSION;
}

} // namespace vrender
