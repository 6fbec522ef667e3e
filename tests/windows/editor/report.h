#pragma once

// One line per check on standard output ("ok" or "FAIL" and what was
// expected), and the number of failures for the exit status.

#include <cstdio>
#include <string>

class Report {
public:
    bool check(bool ok, const std::string& what) {
        std::printf("%s %s\n", ok ? "ok  " : "FAIL", what.c_str());
        std::fflush(stdout);
        if (!ok) {
            ++failed;
        }
        return ok;
    }
    void note(const std::string& text) {
        std::printf("     %s\n", text.c_str());
        std::fflush(stdout);
    }
    int failures() const { return failed; }

private:
    int failed = 0;
};

// printf-style text for the report.
template <typename... Args> std::string format(const char* pattern, Args... args) {
    char text[512];
    std::snprintf(text, sizeof text, pattern, args...);
    return text;
}
