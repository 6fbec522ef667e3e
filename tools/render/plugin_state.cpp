#include "render/plugin_state.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include "common/program_record.h"
#include "render/safe_file.h"
#include "render/vornhalt_parameters.h"

namespace vrender {

using vhost::PluginHost;

std::string trimmed(const std::string& text) {
    std::size_t begin = 0, end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin])) != 0) {
        ++begin;
    }
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1])) != 0) {
        --end;
    }
    return text.substr(begin, end - begin);
}

std::string quoted(const std::string& text) {
    return "\"" + text + "\"";
}

bool isVornhalt(const vst2::AEffect& effect) {
    return effect.uniqueID == kVornhaltUniqueId && effect.numParams == kVornhaltParameterCount;
}

bool takesChunks(const vst2::AEffect& effect) {
    return (effect.flags & vst2::effFlagsProgramChunks) != 0;
}

std::string idText(std::int32_t id) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08x", static_cast<unsigned>(id));
    std::string text(1, '\'');
    text += fourCharacterText(id);
    text += "' (";
    text += hex;
    text += ')';
    return text;
}

namespace {

std::string lowered(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

void checkOwner(const std::string& path, std::int32_t fileId, const vst2::AEffect& effect) {
    if (fileId != effect.uniqueID) {
        throw Failure{path + " was made for another plug-in: its unique id is " + idText(fileId) +
                      ", this plug-in's is " + idText(effect.uniqueID)};
    }
}

// The largest chunk a file for `effect` may hold. Vornhalt's layout fixes its own; another
// plug-in's chunk has no layout known here, and only the format's 32-bit chunk size bounds it.
std::uint64_t largestChunk(const vst2::AEffect& effect, bool bank) {
    if (takesChunks(effect) && !isVornhalt(effect)) {
        return static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max());
    }
    return static_cast<std::uint64_t>(bank ? kBankBytes : kProgramRecordBytes);
}

// Files are read whole, so anything larger than the largest valid one is refused unread: a program
// or a bank, in either form, for Vornhalt or the plug-in loaded. Vornhalt's files stay readable with
// any plug-in and under either option, to be refused for what they are.
std::uint64_t largestStateFile(const vst2::AEffect& effect) {
    const auto programs = static_cast<std::uint64_t>(std::max(effect.numPrograms, 0));
    const auto params = static_cast<std::uint64_t>(std::max(effect.numParams, 0));
    return std::max({programFileBytes(StateForm::Chunk, largestChunk(effect, false)),
                     programFileBytes(StateForm::Values, std::max<std::uint64_t>(params, param::kCount)),
                     bankFileBytes(StateForm::Chunk, 0, largestChunk(effect, true)),
                     bankFileBytes(StateForm::Values, kProgramCount, param::kCount),
                     bankFileBytes(StateForm::Values, programs, params)});
}

std::vector<std::uint8_t> readFileOrFail(const std::string& path, std::uint64_t maxBytes) {
    std::vector<std::uint8_t> bytes;
    std::string error;
    if (!readWholeFile(path, maxBytes, bytes, error)) {
        throw Failure{error};
    }
    return bytes;
}

void applyValues(PluginHost& host, const std::string& path, const ProgramFile& program) {
    const vst2::AEffect& effect = *host.effect();
    if (program.numParams != effect.numParams) {
        throw Failure{path + " holds " + std::to_string(program.numParams) +
                      " parameter values; this plug-in has " + std::to_string(effect.numParams)};
    }
    for (std::int32_t i = 0; i < program.numParams; ++i) {
        host.setParameter(i, program.values[static_cast<std::size_t>(i)]);
    }
    host.setProgramName(program.name);
}

void applyChunk(PluginHost& host, const std::string& path, const std::vector<std::uint8_t>& chunk,
                bool isPreset) {
    if (!takesChunks(*host.effect())) {
        throw Failure{path + " holds an opaque chunk, but this plug-in does not take chunks"};
    }
    if (host.setChunk(chunk, isPreset) == 0) {
        throw Failure{path + ": the plug-in refused its " + std::to_string(chunk.size()) + "-byte " +
                      (isPreset ? "program" : "bank") + " chunk"};
    }
}

void loadBank(PluginHost& host, const std::string& path) {
    BankFile bank;
    std::string error;
    if (!decodeBank(readFileOrFail(path, largestStateFile(*host.effect())), bank, error)) {
        throw Failure{path + ": " + error};
    }
    const vst2::AEffect& effect = *host.effect();
    checkOwner(path, bank.uniqueId, effect);
    if (bank.form == StateForm::Chunk) {
        applyChunk(host, path, bank.chunk, false);
    } else {
        if (bank.numPrograms > effect.numPrograms) {
            throw Failure{path + " holds " + std::to_string(bank.numPrograms) +
                          " programs; this plug-in has " + std::to_string(effect.numPrograms)};
        }
        for (std::size_t i = 0; i < bank.programs.size(); ++i) {
            checkOwner(path, bank.programs[i].uniqueId, effect);
            host.setProgram(static_cast<vhost::int32>(i));
            applyValues(host, path, bank.programs[i]);
        }
        host.setProgram(0);
    }
    if (bank.currentProgram >= 0 && bank.currentProgram < effect.numPrograms) {
        host.setProgram(bank.currentProgram);
    }
}

void loadPreset(PluginHost& host, const std::string& path) {
    ProgramFile program;
    std::string error;
    if (!decodeProgram(readFileOrFail(path, largestStateFile(*host.effect())), program, error)) {
        throw Failure{path + ": " + error};
    }
    checkOwner(path, program.uniqueId, *host.effect());
    if (program.form == StateForm::Chunk) {
        applyChunk(host, path, program.chunk, true);
    } else {
        applyValues(host, path, program);
    }
}

int findParameter(PluginHost& host, const std::string& written) {
    const std::int32_t count = host.effect()->numParams;
    const std::string name = trimmed(written);
    if (!name.empty() && name.find_first_not_of("0123456789") == std::string::npos) {
        const long index = name.size() < 9 ? std::stol(name) : -1;
        if (index < 0 || index >= count) {
            throw Failure{"parameter index " + name + " is out of range (0 to " + std::to_string(count - 1) +
                          ")"};
        }
        return static_cast<int>(index);
    }
    int found = -1;
    for (std::int32_t i = 0; i < count; ++i) {
        if (lowered(trimmed(host.parameterName(i))) == lowered(name)) {
            if (found >= 0) {
                throw Failure{"parameter name " + quoted(name) + " is ambiguous (indices " +
                              std::to_string(found) + " and " + std::to_string(i) + "); use the index"};
            }
            found = i;
        }
    }
    if (found < 0) {
        throw Failure{"unknown parameter " + quoted(name) + " (--list-params shows the names)"};
    }
    return found;
}

std::string listDescription(int index) {
    std::string entries;
    for (int i = 0; i < listSize(index); ++i) {
        entries += (i == 0 ? "" : ", ") + std::string(listEntry(index, i));
    }
    return "a list index 0.." + std::to_string(listSize(index) - 1) + " or an entry name (" + entries + ")";
}

float settingValue(PluginHost& host, int index, const ParameterSetting& setting) {
    const std::string text = trimmed(setting.value);
    const std::string label = quoted(trimmed(setting.name));
    const bool known = isVornhalt(*host.effect());
    const ParameterKind kind = known ? parameterKind(index) : ParameterKind::Continuous;
    double number = 0.0;
    const bool numeric = parseNumber(text, number);

    if (known && listSize(index) > 0) {
        if (std::optional<int> entry = findListEntry(index, text)) {
            return storedValueOfEntry(index, *entry);
        }
        if (!numeric || number != std::floor(number) || number < 0.0 || number >= listSize(index)) {
            throw Failure{"value " + quoted(text) + " for " + label + ": it takes " + listDescription(index)};
        }
        return storedValueOfEntry(index, static_cast<int>(number));
    }
    if (kind == ParameterKind::Switch) {
        if (lowered(text) == "on") {
            return 1.0f;
        }
        if (lowered(text) == "off") {
            return 0.0f;
        }
    }
    if (!numeric) {
        throw Failure{"value " + quoted(text) + " for " + label + " is not a number"};
    }
    if (number < 0.0 || number > 1.0) {
        throw Failure{"value " + text + " for " + label + " is outside 0..1"};
    }
    return static_cast<float>(number);
}

} // namespace

void applySettings(PluginHost& host, const Options& options) {
    if (!options.bank.empty()) {
        loadBank(host, options.bank);
    }
    if (options.program) {
        const std::int32_t programs = host.effect()->numPrograms;
        if (*options.program >= programs) {
            throw Failure{"program " + std::to_string(*options.program) +
                          " does not exist (the plug-in has " + std::to_string(programs) + ", 0 to " +
                          std::to_string(programs - 1) + ")"};
        }
        host.setProgram(*options.program);
    }
    if (!options.preset.empty()) {
        loadPreset(host, options.preset);
    }
    // Every setting is checked before any is applied, so a bad one leaves nothing half done.
    std::vector<std::pair<int, float>> changes;
    for (const ParameterSetting& setting : options.settings) {
        const int index = findParameter(host, setting.name);
        changes.emplace_back(index, settingValue(host, index, setting));
    }
    for (const auto& [index, value] : changes) {
        host.setParameter(index, value);
    }
    // As a host's save dialog does: the program takes the name, and so does a preset saved from it.
    if (!options.programName.empty()) {
        host.setProgramName(options.programName);
        if (host.programName() != options.programName) {
            throw Failure{"the plug-in kept its program name instead of " + quoted(options.programName)};
        }
    }
}

ProgramFile currentProgramFile(PluginHost& host) {
    const vst2::AEffect& effect = *host.effect();
    ProgramFile program;
    program.uniqueId = effect.uniqueID;
    program.pluginVersion = effect.version;
    program.numParams = effect.numParams;
    program.name = host.programName();
    if (takesChunks(effect)) {
        program.form = StateForm::Chunk;
        program.chunk = host.getChunk(true);
        if (program.chunk.empty()) {
            throw Failure{"the plug-in handed out no program chunk to save"};
        }
    } else {
        program.form = StateForm::Values;
        for (std::int32_t i = 0; i < effect.numParams; ++i) {
            program.values.push_back(host.getParameter(i));
        }
    }
    return program;
}

BankFile currentBankFile(PluginHost& host) {
    const vst2::AEffect& effect = *host.effect();
    BankFile bank;
    bank.uniqueId = effect.uniqueID;
    bank.pluginVersion = effect.version;
    bank.numPrograms = effect.numPrograms;
    bank.currentProgram = host.program();
    if (takesChunks(effect)) {
        bank.form = StateForm::Chunk;
        bank.chunk = host.getChunk(false);
        if (bank.chunk.empty()) {
            throw Failure{"the plug-in handed out no bank chunk to save"};
        }
    } else {
        // Without chunks, every program is visited to read its values; the current one is
        // selected again at the end.
        bank.form = StateForm::Values;
        for (std::int32_t p = 0; p < effect.numPrograms; ++p) {
            host.setProgram(p);
            bank.programs.push_back(currentProgramFile(host));
        }
        host.setProgram(bank.currentProgram);
    }
    return bank;
}

} // namespace vrender
