#include "render/safe_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace vrender {

namespace {

// The temporary file a signal handler removes; one at a time, since files are written in turn.
// Written before the file exists and cleared after it is gone or renamed, so a handler never
// removes a file that is not ours.
char gPendingPath[4096];
volatile sig_atomic_t gPendingSet = 0;

void setPending(const char* path) {
    const std::size_t length = std::strlen(path);
    gPendingSet = 0;
    if (length < sizeof gPendingPath) {
        std::memcpy(gPendingPath, path, length + 1);
        gPendingSet = 1;
    }
}

void clearPending() {
    gPendingSet = 0;
}

extern "C" void removePendingAndExit(int signalNumber) {
    if (gPendingSet != 0) {
        unlink(gPendingPath);
    }
    // Die of the same signal, so the caller sees how the run ended.
    signal(signalNumber, SIG_DFL);
    raise(signalNumber);
}

std::string systemError(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + std::strerror(errno);
}

} // namespace

TempFile::~TempFile() {
    discard();
}

bool TempFile::create(const std::string& target, std::string& error) {
    discard();
    target_ = target;
    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    if (base.empty()) {
        error = "not a file name: " + target;
        return false;
    }
    // Hidden, and named after the target so a stray one is easy to recognise.
    const std::string pattern = folder + "." + base + ".part-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    // No signal may end the run between creating the file and recording its name.
    sigset_t stopping, previous;
    sigemptyset(&stopping);
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
        sigaddset(&stopping, signalNumber);
    }
    sigprocmask(SIG_BLOCK, &stopping, &previous);
    const int fd = mkstemp(buffer.data());
    const int createError = errno;
    if (fd >= 0) {
        setPending(buffer.data());
    }
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    if (fd < 0) {
        errno = createError;
        error = systemError("cannot create a file beside", target);
        return false;
    }
    tempPath_ = buffer.data();
    fd_ = fd;
    pending_ = true;
    // mkstemp creates the file for its owner only; give it the mode of any new file here.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd_, 0666 & ~mask);
    return true;
}

bool TempFile::commit(std::string& error) {
    if (!pending_) {
        error = "nothing to write for " + target_;
        return false;
    }
    if (fd_ >= 0) {
        if (fsync(fd_) != 0 && errno != EINVAL) {
            error = systemError("cannot write", target_);
            discard();
            return false;
        }
        if (close(fd_) != 0) {
            fd_ = -1;
            error = systemError("cannot write", target_);
            discard();
            return false;
        }
        fd_ = -1;
    }
    if (std::rename(tempPath_.c_str(), target_.c_str()) != 0) {
        error = systemError("cannot replace", target_);
        discard();
        return false;
    }
    pending_ = false;
    clearPending();
    return true;
}

void TempFile::discard() {
    if (fd_ >= 0) {
        close(fd_);
        fd_ = -1;
    }
    if (pending_) {
        unlink(tempPath_.c_str());
        pending_ = false;
        clearPending();
    }
}

bool readWholeFile(const std::string& path, std::uint64_t maxBytes, std::vector<std::uint8_t>& bytes,
                   std::string& error) {
    // Without O_NONBLOCK, opening a FIFO nobody writes to would wait for ever; it is refused below.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = systemError("cannot open", path);
        return false;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        error = path + (S_ISDIR(info.st_mode) ? " is a folder" : " is not a regular file");
        close(fd);
        return false;
    }
    bytes.clear();
    bool tooLarge = static_cast<std::uint64_t>(info.st_size) > maxBytes;
    std::uint8_t buffer[65536];
    ssize_t got = 0;
    // The file may still grow while it is read: reading stops as soon as it passes the limit.
    while (!tooLarge && (got = read(fd, buffer, sizeof buffer)) != 0) {
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            error = systemError("cannot read", path);
            close(fd);
            return false;
        }
        bytes.insert(bytes.end(), buffer, buffer + got);
        tooLarge = bytes.size() > maxBytes;
    }
    close(fd);
    if (tooLarge) {
        const std::uint64_t size =
            std::max<std::uint64_t>(static_cast<std::uint64_t>(info.st_size), bytes.size());
        error = path + " is " + std::to_string(size) + " bytes; no valid file of its kind is larger than " +
                std::to_string(maxBytes) + " bytes";
        bytes.clear();
        return false;
    }
    return true;
}

bool writeFileSafely(const std::string& path, const std::vector<std::uint8_t>& bytes, std::string& error) {
    TempFile file;
    if (!file.create(path, error)) {
        return false;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote = write(file.descriptor(), bytes.data() + done, bytes.size() - done);
        if (wrote < 0) {
            if (errno == EINTR) {
                continue;
            }
            error = systemError("cannot write", path);
            return false;
        }
        done += static_cast<std::size_t>(wrote);
    }
    return file.commit(error);
}

void installInterruptCleanup() {
    struct sigaction action {};
    action.sa_handler = removePendingAndExit;
    sigemptyset(&action.sa_mask);
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
        sigaction(signalNumber, &action, nullptr);
    }
}

} // namespace vrender
