#pragma once

// Files written so that a failed run never damages what was there: the bytes go to a temporary
// file beside the target, which replaces the target by a rename only once everything is written.
// A run stopped by SIGINT, SIGTERM or SIGHUP removes its temporary file on the way out.

#include <cstdint>
#include <string>
#include <vector>

namespace vrender {

class TempFile {
public:
    TempFile() = default;
    ~TempFile(); // removes the temporary file unless it was committed
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    // Creates an empty temporary file in the target's folder, readable like a new file there.
    bool create(const std::string& target, std::string& error);
    int descriptor() const { return fd_; }
    const std::string& path() const { return tempPath_; }
    // Flushes, closes and renames over the target.
    bool commit(std::string& error);
    // Closes and removes the temporary file.
    void discard();
    // The descriptor is closed by someone else (a library that was handed it).
    void releaseDescriptor() { fd_ = -1; }

private:
    std::string target_;
    std::string tempPath_;
    int fd_ = -1;
    bool pending_ = false;
};

// Reads a regular file of at most `maxBytes`; anything else (a larger file, a device, a FIFO, a
// folder) is refused with the reason in `error`, unread or read no further than one buffer past
// the limit (a file that grows while it is read).
bool readWholeFile(const std::string& path, std::uint64_t maxBytes, std::vector<std::uint8_t>& bytes,
                   std::string& error);
bool writeFileSafely(const std::string& path, const std::vector<std::uint8_t>& bytes, std::string& error);

// Installs the handlers that remove a pending temporary file when the run is stopped by a signal.
void installInterruptCleanup();

} // namespace vrender
