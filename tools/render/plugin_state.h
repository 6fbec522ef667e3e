#pragma once

// The plug-in's state as the command line shapes it: a bank, a program, a preset, the --set list
// and the program's --name, applied in that order, and the current program or the whole bank read
// back for saving.
// Like the rest of the renderer it reaches the plug-in through the host library alone.

#include <cstdint>
#include <string>

#include "host/plugin_host.h"
#include "render/options.h"
#include "render/preset_file.h"

namespace vrender {

// A run that cannot go on: one line on stderr, and `status` becomes the exit status.
struct Failure {
    std::string message;
    int status = 1;
};

// Throws a Failure naming the file or setting at fault.
void applySettings(vhost::PluginHost& host, const Options& options);

// As a preset or bank file holds them. A plug-in without chunks has each of its programs selected
// in turn for the bank; the current one is selected again at the end.
ProgramFile currentProgramFile(vhost::PluginHost& host);
BankFile currentBankFile(vhost::PluginHost& host);

// What the reports need as well.
bool isVornhalt(const vst2::AEffect& effect);
bool takesChunks(const vst2::AEffect& effect);
std::string trimmed(const std::string& text);
std::string quoted(const std::string& text);
std::string idText(std::int32_t id); // 'abcd' (0x61626364)

} // namespace vrender
