#pragma once

// vornhalt-render as a whole: loads the plug-in, applies the settings, prints what was asked,
// saves presets and renders. main() only hands over the arguments.

#include <string>
#include <vector>

namespace vrender {

// The exit status: 0 success, 1 a failure (plug-in, file, setting), 2 a bad command line.
int runRenderer(const std::vector<std::string>& arguments);

// The vornhalt.so beside the running executable; empty when /proc/self/exe cannot be read.
std::string defaultPluginPath();

} // namespace vrender
