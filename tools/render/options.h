#pragma once

// The command line of vornhalt-render.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vrender {

struct ParameterSetting {
    std::string name; // host name or index, as written
    std::string value;
};

struct Options {
    bool help = false;
    bool version = false;
    bool info = false;
    bool listParams = false;
    bool quiet = false;
    std::string input;
    std::string output;
    std::string plugin; // empty: the vornhalt.so beside the executable
    std::string format;
    std::string bits;
    std::int32_t blockSize = 512;
    double tailSeconds = 0.0;
    double bpm = 120.0;
    double startBeat = 0.0;
    std::optional<int> program;
    std::string preset;
    std::string bank;
    std::string savePreset;
    std::string saveBank;
    std::string programName; // --name: the current program's new name, saved with --save-preset
    std::string editorShot;  // a PNG file for the picture of the editor
    std::vector<ParameterSetting> settings;

    bool renders() const { return !input.empty(); }
};

constexpr std::int32_t kMaxBlockSize = 65536;
constexpr double kMaxTailSeconds = 3600.0;
constexpr double kMaxBpm = 999.0;

// Fills `options` from the arguments after the program name; false with a one-line reason for a
// command line that cannot be run.
bool parseOptions(const std::vector<std::string>& arguments, Options& options, std::string& error);

// A number in the whole of `text`, nothing before or after it.
bool parseNumber(const std::string& text, double& value);

std::string helpText();

// "vornhalt-render 1.0": the program's name and the project's version.
std::string versionText();

} // namespace vrender
