#include "render/options.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>

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
    std::vector<std::string> positional;
    bool optionsEnded = false;
    std::vector<std::string> seen;

    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string argument = arguments[i];
        if (optionsEnded || argument.empty() || argument[0] != '-' || argument == "-") {
            positional.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        // "--name=value" and "--name value" are the same.
        std::optional<std::string> inlineValue;
        const std::size_t equals = argument.find('=');
        if (argument.rfind("--", 0) == 0 && equals != std::string::npos) {
            inlineValue = argument.substr(equals + 1);
            argument = argument.substr(0, equals);
        }
        auto flag = [&](bool& target) {
            if (inlineValue) {
                error = argument + " takes no value";
                return false;
            }
            target = true;
            return true;
        };
        auto value = [&](std::string& target) {
            if (inlineValue) {
                target = *inlineValue;
            } else if (i + 1 < arguments.size()) {
                target = arguments[++i];
            } else {
                error = argument + " needs a value";
                return false;
            }
            return true;
        };
        // Options that name one thing may be given once; --set may be repeated.
        auto once = [&]() {
            for (const std::string& s : seen) {
                if (s == argument) {
                    error = argument + " is given twice";
                    return false;
                }
            }
            seen.push_back(argument);
            return true;
        };

        std::string text;
        if (argument == "--help" || argument == "-h") {
            if (!flag(options.help)) {
                return false;
            }
        } else if (argument == "--info") {
            if (!flag(options.info)) {
                return false;
            }
        } else if (argument == "--list-params") {
            if (!flag(options.listParams)) {
                return false;
            }
        } else if (argument == "--quiet" || argument == "-q") {
            if (!flag(options.quiet)) {
                return false;
            }
        } else if (argument == "--set") {
            if (!value(text)) {
                return false;
            }
            const std::size_t at = text.find('=');
            if (at == std::string::npos || at == 0) {
                error = "--set needs NAME=VALUE, got '" + text + "'";
                return false;
            }
            options.settings.push_back({text.substr(0, at), text.substr(at + 1)});
        } else if (argument == "--plugin" || argument == "--format" || argument == "--bits" ||
                   argument == "--preset" || argument == "--bank" || argument == "--save-preset" ||
                   argument == "--save-bank" || argument == "--editor-shot") {
            if (!once() || !value(text)) {
                return false;
            }
            if (text.empty()) {
                error = argument + " needs a value";
                return false;
            }
            std::string& target = argument == "--plugin"        ? options.plugin
                                  : argument == "--format"      ? options.format
                                  : argument == "--bits"        ? options.bits
                                  : argument == "--preset"      ? options.preset
                                  : argument == "--bank"        ? options.bank
                                  : argument == "--save-preset" ? options.savePreset
                                  : argument == "--save-bank"   ? options.saveBank
                                                                : options.editorShot;
            target = text;
        } else if (argument == "--block") {
            long long n = 0;
            if (!once() || !value(text)) {
                return false;
            }
            if (!parseInteger(text, n) || n < 1 || n > kMaxBlockSize) {
                error = "--block needs a whole number of frames from 1 to " + std::to_string(kMaxBlockSize) +
                        ", got '" + text + "'";
                return false;
            }
            options.blockSize = static_cast<std::int32_t>(n);
        } else if (argument == "--program") {
            long long n = 0;
            if (!once() || !value(text)) {
                return false;
            }
            if (!parseInteger(text, n) || n < 0 || n > 1000000) {
                error = "--program needs a program number (0 is the first), got '" + text + "'";
                return false;
            }
            options.program = static_cast<int>(n);
        } else if (argument == "--tail") {
            double seconds = 0.0;
            if (!once() || !value(text)) {
                return false;
            }
            if (!parseNumber(text, seconds) || seconds < 0.0 || seconds > kMaxTailSeconds) {
                error = "--tail needs seconds from 0 to 3600, got '" + text + "'";
                return false;
            }
            options.tailSeconds = seconds;
        } else if (argument == "--bpm") {
            double bpm = 0.0;
            if (!once() || !value(text)) {
                return false;
            }
            if (!parseNumber(text, bpm) || bpm < 1.0 || bpm > kMaxBpm) {
                error = "--bpm needs a tempo from 1 to 999 beats per minute, got '" + text + "'";
                return false;
            }
            options.bpm = bpm;
        } else if (argument == "--start-beat") {
            double beat = 0.0;
            if (!once() || !value(text)) {
                return false;
            }
            if (!parseNumber(text, beat)) {
                error = "--start-beat needs a number of beats, got '" + text + "'";
                return false;
            }
            options.startBeat = beat;
        } else {
            error = "unknown option " + argument + " (see --help)";
            return false;
        }
    }

    if (options.help) {
        return true;
    }
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
    if (options.renders() && options.output == options.input) {
        error = "OUTPUT must differ from INPUT";
        return false;
    }
    return true;
}

std::string helpText() {
    return R"(Usage: vornhalt-render [options] INPUT OUTPUT
       vornhalt-render [options] --list-params | --info | --save-preset FILE | --save-bank FILE
       vornhalt-render [options] --editor-shot FILE.png

Renders an audio file through the Vornhalt VST 2 plug-in, as a host would: the plug-in is told the
file's sample rate and the block size, resumed, and driven with processReplacing block by block.

INPUT is any file libsndfile reads (WAV, AIFF, FLAC, Ogg, ...), mono or stereo; a mono file feeds
both plug-in inputs. OUTPUT is stereo at INPUT's sample rate, in INPUT's format unless its
extension names another (.wav, .aif/.aiff, .flac, .ogg) or --format/--bits say otherwise. It is
written to a temporary file beside OUTPUT and renamed only when the render succeeded, so a failed
run never touches an existing OUTPUT.

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
  --save-bank FILE.fxb   write all programs
  --editor-shot FILE.png draw the plug-in's editor as it looks in this state, without a display
                         (by vornhalt-editor-shot, built beside this program)
  Reading accepts both the chunk forms ('FPCh', 'FBCh') and the plain-value forms ('FxCk', 'FxBk').
Output:
  --format F             wav, aiff, flac or ogg
  --bits B               16, 24, 32 or float (not for ogg)
Information:
  --list-params          print every parameter: index, name, stored value and the value as the
                         plug-in's editor shows it (at the sample rate and tempo of this run)
  --info                 print what the plug-in answers about itself
  --quiet, -q            no progress bar (it appears on a terminal when a render takes over a second)
  --help, -h             this text

At the end a summary line gives INPUT's and OUTPUT's peak and RMS level in dBFS and the
real-time factor (seconds of audio rendered per second of work).

Example:
  vornhalt-render --program 0 --set "Delay=0.3" --set "Delay Sync=1/8" --set Feedback=0.6 \
      --bpm 96 --tail 2 guitar.wav guitar-vornhalt.wav
  vornhalt-render --preset mine.fxp --set Mix=0.8 drums.flac drums-wet.flac

Exit status: 0 on success, 1 when the plug-in, a file or a setting failed, 2 for a bad command line.
)";
}

} // namespace vrender
