#pragma once

// The editor checks, each group run on the checks' own thread while the host's
// UI thread runs its message loop.

#include <string>

#include "host_ui.h"
#include "pixels.h"
#include "report.h"
#include "vst_host.h"

class EditorSession;

// Drags, clicks, the wheel and the filter type's pop-up in one open editor;
// the parameters read back through the effect's record.
void runInteractionChecks(HostUi& ui, const PluginModule& module, Report& report);
// Opening and closing (twenty times, two instances, the host's window
// destroyed first), and the window's own idle when the host stops idling.
void runLifecycleChecks(HostUi& ui, const PluginModule& module, Report& report);
// Pictures of the editor in two states, each with the bank chunk and program
// that make the same state on Linux: <directory>/<state>-windows.png,
// <state>.chunk, <state>.program for "factory" and "changed".
void writeEditorShots(HostUi& ui, const PluginModule& module, const std::string& directory, Report& report);
// Compares a picture taken here with the Linux drawing of the same state and
// writes where they differ to `differences` (a PNG).
void compareWithLinux(const std::string& windowsPng, const std::string& linuxPng,
                      const std::string& differences, Report& report);

// Shared by the checks.
Image captureEditor(HostUi& ui, const EditorSession& session);
// Pixels that differ inside `area` (all of both when null); -1 when the sizes differ.
int countDifferent(const Image& a, const Image& b, const RECT* area = nullptr);
std::wstring windowClassOf(HWND window);
std::string narrow(const std::wstring& text);
