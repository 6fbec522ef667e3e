#include "render/editor_shot_call.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

extern char** environ;

namespace vrender {

namespace {

std::string numberText(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

// Writes everything, riding over interrupted writes; false when the reader went away.
bool writeAll(int fd, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

} // namespace

std::vector<std::string> editorShotArguments(const EditorShotCall& call) {
    return {"--bank-chunk",  "-",
            "--program",     std::to_string(call.currentProgram),
            "--sample-rate", numberText(call.sampleRate),
            "--bpm",         numberText(call.bpm),
            call.output};
}

bool runEditorShot(const EditorShotCall& call, std::string& error) {
    if (access(call.program.c_str(), X_OK) != 0) {
        error =
            "cannot run " + call.program + " (it is built beside vornhalt-render): " + std::strerror(errno);
        return false;
    }
    std::vector<std::string> arguments = editorShotArguments(call);
    arguments.insert(arguments.begin(), call.program);
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);

    int channel[2];
    if (pipe(channel) != 0) {
        error = std::string("cannot make a pipe: ") + std::strerror(errno);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, channel[0], STDIN_FILENO);
    posix_spawn_file_actions_addclose(&actions, channel[0]);
    posix_spawn_file_actions_addclose(&actions, channel[1]);
    pid_t child = 0;
    const int spawned = posix_spawn(&child, call.program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(channel[0]);
    if (spawned != 0) {
        close(channel[1]);
        error = "cannot run " + call.program + ": " + std::strerror(spawned);
        return false;
    }

    // A helper that stops reading early must not take this program down with SIGPIPE.
    struct sigaction ignore {};
    struct sigaction previous {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, &previous);
    writeAll(channel[1], call.bankChunk.data(), call.bankChunk.size());
    close(channel[1]);
    sigaction(SIGPIPE, &previous, nullptr);

    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            error = std::string("lost the editor-shot helper: ") + std::strerror(errno);
            return false;
        }
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        error = "the editor could not be drawn to " + call.output;
        return false;
    }
    return true;
}

} // namespace vrender
