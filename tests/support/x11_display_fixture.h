#pragma once

// The X server side shared by the X11 test suites: one connection kept open
// for the whole suite (an X server that starts over when its last client
// leaves would refuse the next test's clients for a moment), a connection of
// the test's own, and a count of the X errors reported while the test ran.

#include <X11/Xlib.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>

class X11DisplayFixture : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (std::getenv("DISPLAY") != nullptr) {
            keeper = XOpenDisplay(nullptr);
        }
    }
    static void TearDownTestSuite() {
        if (keeper != nullptr) {
            XCloseDisplay(keeper);
            keeper = nullptr;
        }
    }

    // Opens `dpy` and starts counting X errors; check HasFatalFailure() after it.
    void openDisplay() {
        ASSERT_TRUE(threadsReady());
        ASSERT_NE(std::getenv("DISPLAY"), nullptr)
            << "DISPLAY is not set: the X11 tests need an X server; run them under scripts/with-xvfb";
        previousHandler = XSetErrorHandler(countError);
        errors() = 0;
        dpy = XOpenDisplay(nullptr);
        ASSERT_NE(dpy, nullptr) << "cannot open display " << std::getenv("DISPLAY");
    }
    // Closes `dpy` (after the caller destroyed its windows) and requires that no X error came.
    void closeDisplay() {
        if (dpy != nullptr) {
            XSync(dpy, False);
            XCloseDisplay(dpy);
            dpy = nullptr;
        }
        EXPECT_EQ(errors().load(), 0) << "X errors were reported";
        XSetErrorHandler(previousHandler);
    }

    static inline Display* keeper = nullptr;
    Display* dpy = nullptr;
    XErrorHandler previousHandler = nullptr;

private:
    // Two connections are used from two threads: Xlib is made thread-safe
    // before main, ahead of any other Xlib call.
    static inline const bool threadsReadyAtStart = XInitThreads() != 0;
    static bool threadsReady() { return threadsReadyAtStart; }
    static std::atomic<int>& errors() {
        static std::atomic<int> count{0};
        return count;
    }
    static int countError(Display* /*display*/, XErrorEvent* /*event*/) {
        ++errors();
        return 0;
    }
};
