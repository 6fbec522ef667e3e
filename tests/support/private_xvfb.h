#pragma once

// An X server of the test's own, beside the suite's display: a host whose
// windows live on another display than $DISPLAY, or a display that goes away
// while the editor is open (the server killed by its process id).

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <string>

class PrivateXvfb {
public:
    // Starts the server; name() is empty when it did not come up within 10 s.
    PrivateXvfb() {
        int fds[2];
        if (pipe(fds) != 0) {
            return;
        }
        pid = fork();
        if (pid == 0) {
            // The server goes with the test process, however that ends (a test
            // that fails may end its process without running destructors).
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            // Xvfb picks a free display and writes its number to the inherited descriptor.
            dup2(fds[1], 3);
            const int devNull = open("/dev/null", O_WRONLY);
            if (devNull >= 0) {
                dup2(devNull, 1);
                dup2(devNull, 2);
            }
            // Nothing else of the test's is inherited: a pipe kept open here would
            // keep a reader of the test's output waiting.
            for (int fd = 4; fd < 1024; ++fd) {
                close(fd);
            }
            execlp("Xvfb", "Xvfb", "-displayfd", "3", "-screen", "0", "1024x768x24", "-nolisten", "tcp",
                   "-noreset", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        std::string number;
        pollfd ready{fds[0], POLLIN, 0};
        while (pid > 0 && poll(&ready, 1, 10000) > 0) {
            char c = 0;
            if (read(fds[0], &c, 1) != 1 || c == '\n') {
                break;
            }
            if (std::isdigit(static_cast<unsigned char>(c)) != 0) {
                number += c;
            }
        }
        close(fds[0]);
        if (!number.empty()) {
            displayName = ":" + number;
        }
    }
    ~PrivateXvfb() { stop(SIGTERM); }
    PrivateXvfb(const PrivateXvfb&) = delete;
    PrivateXvfb& operator=(const PrivateXvfb&) = delete;

    const std::string& name() const { return displayName; }
    // The server disappears at once, as a crashed or disconnected one does.
    void kill() { stop(SIGKILL); }

private:
    void stop(int signal) {
        if (pid > 0) {
            ::kill(pid, signal);
            waitpid(pid, nullptr, 0);
            pid = -1;
        }
    }

    pid_t pid = -1;
    std::string displayName;
};
