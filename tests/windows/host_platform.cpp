#include "host_platform.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <pthread.h>
#endif

namespace phost {

namespace {
struct ThreadWork {
    void (*work)(void*);
    void* argument;
};
} // namespace

#if defined(_WIN32)

Module::Module(const std::string& path) {
    handle = LoadLibraryA(path.c_str());
    if (handle == nullptr) {
        loadError = "LoadLibrary failed with error " + std::to_string(GetLastError());
    }
}

Module::~Module() {
    if (handle != nullptr) {
        FreeLibrary(static_cast<HMODULE>(handle));
    }
}

void* Module::symbol(const char* name) const {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
}

// The loaded image is laid out as its PE headers say: the export directory's
// name table holds every exported name.
std::optional<std::vector<std::string>> Module::exportedNames() const {
    const auto* base = static_cast<const unsigned char*>(handle);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& entry = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    std::vector<std::string> names;
    if (entry.Size == 0) {
        return names;
    }
    const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + entry.VirtualAddress);
    const auto* nameOffsets = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
        names.emplace_back(reinterpret_cast<const char*>(base + nameOffsets[i]));
    }
    return names;
}

namespace {
DWORD WINAPI threadMain(LPVOID parameter) {
    const auto* job = static_cast<const ThreadWork*>(parameter);
    job->work(job->argument);
    return 0;
}
} // namespace

bool runOnNewThread(void (*work)(void*), void* argument) {
    ThreadWork job{work, argument};
    HANDLE thread = CreateThread(nullptr, 0, threadMain, &job, 0, nullptr);
    if (thread == nullptr) {
        return false;
    }
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    return true;
}

#else

Module::Module(const std::string& path) {
    handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* message = dlerror();
        loadError = message != nullptr ? message : "dlopen failed";
    }
}

Module::~Module() {
    if (handle != nullptr) {
        dlclose(handle);
    }
}

void* Module::symbol(const char* name) const {
    return dlsym(handle, name);
}

std::optional<std::vector<std::string>> Module::exportedNames() const {
    return std::nullopt;
}

namespace {
void* threadMain(void* parameter) {
    const auto* job = static_cast<const ThreadWork*>(parameter);
    job->work(job->argument);
    return nullptr;
}
} // namespace

bool runOnNewThread(void (*work)(void*), void* argument) {
    ThreadWork job{work, argument};
    pthread_t thread;
    if (pthread_create(&thread, nullptr, threadMain, &job) != 0) {
        return false;
    }
    pthread_join(thread, nullptr);
    return true;
}

#endif

std::uint16_t x87ControlWord() {
    std::uint16_t word = 0;
#if defined(__x86_64__) || defined(__i386__)
    __asm__ volatile("fnstcw %0" : "=m"(word));
#endif
    return word;
}

} // namespace phost
