#pragma once

// What the processing host needs from the operating system, on Windows
// (LoadLibrary, the PE export table, CreateThread) and on Linux (dlopen,
// pthreads), so that one program drives both builds of the module the same way.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace phost {

class Module {
public:
    explicit Module(const std::string& path);
    ~Module();
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    bool loaded() const { return handle != nullptr; }
    const std::string& error() const { return loadError; }
    // The exported function of that name, or null.
    void* symbol(const char* name) const;
    // Every name in the module's export table; none where the platform's
    // loader does not list them (Linux: the version script decides there).
    std::optional<std::vector<std::string>> exportedNames() const;

private:
    void* handle = nullptr;
    std::string loadError;
};

// Runs work(argument) on a thread made by the platform's own call, as a host
// makes its audio thread, and returns when it has finished; false when no
// thread could be made.
bool runOnNewThread(void (*work)(void*), void* argument);

// The calling thread's x87 control word (its precision bits differ between
// threads on Windows).
std::uint16_t x87ControlWord();

} // namespace phost
