// The editor test host: a small Windows host for vornhalt.dll, run under Wine.
//
//   vornhalt_editor_host DLL interact     drags, clicks, menus, reopening, two instances
//   vornhalt_editor_host DLL shots DIR    pictures of two states, with what draws them on Linux
//   vornhalt_editor_host compare WIN.png LINUX.png DIFF.png
//
// Each check prints a line; the exit status is the number of failures (at most 100).

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "checks.h"

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: vornhalt_editor_host DLL interact | DLL shots DIR | compare WIN LINUX DIFF\n");
    return 2;
}

// The checks act from a thread of their own while this one is the host's UI
// thread, as a user acts while the host's loop runs.
int runHosted(const std::string& dll, const std::string& command, const std::string& directory) {
    auto module = std::make_unique<PluginModule>(dll);
    if (!module->isLoaded()) {
        std::fprintf(stderr, "cannot load %s (error %lu)\n", dll.c_str(), GetLastError());
        return 1;
    }
    HostUi ui;
    Report report;
    std::thread checks([&] {
        if (command == "interact") {
            runInteractionChecks(ui, *module, report);
            runLifecycleChecks(ui, *module, report);
        } else {
            writeEditorShots(ui, *module, directory, report);
        }
        ui.quit();
    });
    ui.run();
    checks.join();
    if (command == "interact") {
        // Once it has drawn, the module holds Cairo's state for good.
        const HMODULE handle = module->handle();
        module.reset();
        HMODULE still = nullptr;
        report.check(GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                            GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                        reinterpret_cast<LPCWSTR>(handle), &still) &&
                         still == handle,
                     "the module stays loaded after the host frees it");
    }
    return std::min(report.failures(), 100);
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "compare") == 0) {
        Report report;
        compareWithLinux(argv[2], argv[3], argv[4], report);
        return std::min(report.failures(), 100);
    }
    if (argc == 3 && std::strcmp(argv[2], "interact") == 0) {
        return runHosted(argv[1], argv[2], "");
    }
    if (argc == 4 && std::strcmp(argv[2], "shots") == 0) {
        return runHosted(argv[1], argv[2], argv[3]);
    }
    return usage();
}
