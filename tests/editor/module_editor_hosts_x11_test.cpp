// The built module's editor as demanding but legal hosts drive it: automation
// on the audio thread while the UI thread opens and closes the editor, a host
// whose windows live on another display than $DISPLAY, and a display that
// goes away under an open editor. Needs DISPLAY: run under scripts/with-xvfb.

#include <gtest/gtest.h>

#include "module_display_fixture.h"
#include "support/private_xvfb.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <random>
#include <thread>
#include <vector>

#include "host/plugin_host.h"

#include <fontconfig/fontconfig.h>
// Last: Xlib's macros would clash with the C++ headers.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

constexpr int kWidth = 659;
constexpr int kHeight = 479;
constexpr int kBlock = 64;
constexpr std::uint32_t kTeal = 0x167096; // the labels' boxes, painted once the panel is drawn

Window makeParent(Display* display) {
    const int screen = DefaultScreen(display);
    Window w = XCreateSimpleWindow(display, RootWindow(display, screen), 10, 10, kWidth, kHeight, 0,
                                   BlackPixel(display, screen), BlackPixel(display, screen));
    XMapWindow(display, w);
    XSync(display, False);
    return w;
}

std::uint32_t pixelOf(Display* display, Window window, int x, int y) {
    XImage* image = XGetImage(display, window, x, y, 1, 1, AllPlanes, ZPixmap);
    if (image == nullptr) {
        return 0;
    }
    const auto value = static_cast<std::uint32_t>(XGetPixel(image, 0, 0)) & 0xffffffu;
    XDestroyImage(image);
    return value;
}

// The host's idle at about 60 Hz until the panel shows on `display`.
bool idleUntilPainted(vhost::PluginHost& host, Display* display, Window parent) {
    for (int i = 0; i < 300; ++i) {
        host.idleEditor();
        if (pixelOf(display, parent, 25, 31) == kTeal) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(16));
    }
    return false;
}

// [audio thread] Host automation and processing, as hosts send them from their
// audio thread: 64 random parameter changes, then one block, until told to stop.
void automateAndProcess(vst2::AEffect* effect, const std::atomic<bool>& stop, std::atomic<long>& blocks) {
    std::mt19937 random(1234);
    std::uniform_int_distribution<int> index(0, 55);
    std::uniform_real_distribution<float> value(0.0f, 1.0f);
    std::vector<float> inL(kBlock, 0.25f), inR(kBlock, -0.25f), outL(kBlock), outR(kBlock);
    float* inputs[2] = {inL.data(), inR.data()};
    float* outputs[2] = {outL.data(), outR.data()};
    while (!stop.load(std::memory_order_acquire)) {
        for (int i = 0; i < 64; ++i) {
            effect->setParameter(effect, index(random), value(random));
        }
        effect->processReplacing(effect, inputs, outputs, kBlock);
        blocks.fetch_add(1, std::memory_order_relaxed);
    }
}

class HostsX11 : public ModuleDisplayFixture {};

// The editor's controls must never be touched from the audio thread while the
// UI thread destroys them: a few seconds of open/idle/close cycles against
// automation on the audio thread.
TEST_F(HostsX11, AutomationOnTheAudioThreadWhileTheEditorOpensAndCloses) {
    const Window parent = makeParent(dpy);
    std::atomic<bool> stop{false};
    std::atomic<long> blocks{0};
    std::thread audio(automateAndProcess, host.effect(), std::cref(stop), std::ref(blocks));

    int cycles = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    for (; std::chrono::steady_clock::now() < end; ++cycles) {
        vst2::ERect rect{};
        ASSERT_TRUE(host.editorRect(rect));
        ASSERT_EQ(host.openEditor(parent, dpy), 1) << cycles;
        host.idleEditor();
        host.closeEditor();
    }
    stop.store(true, std::memory_order_release);
    audio.join();
    std::printf("%d open/close cycles during %ld automated blocks\n", cycles, blocks.load());
    EXPECT_GT(cycles, 50);
    EXPECT_GT(blocks.load(), 50);
    XDestroyWindow(dpy, parent);
}

// A host whose windows are on another display hands over that display: the
// editor opens there, as a child of the host's window.
TEST_F(HostsX11, TheEditorOpensOnTheHostsDisplay) {
    PrivateXvfb other;
    ASSERT_FALSE(other.name().empty()) << "Xvfb did not start";
    Display* hostDisplay = XOpenDisplay(other.name().c_str());
    ASSERT_NE(hostDisplay, nullptr);
    const Window parent = makeParent(hostDisplay);

    ASSERT_EQ(host.openEditor(parent, hostDisplay), 1);
    EXPECT_EQ(childWindows(hostDisplay, parent).size(), 1u);
    EXPECT_TRUE(idleUntilPainted(host, hostDisplay, parent));
    host.closeEditor();
    EXPECT_EQ(childWindows(hostDisplay, parent).size(), 0u);

    // A parent the display does not know is refused, not fatal.
    ASSERT_EQ(host.openEditor(parent + 0x100000, hostDisplay), 0);
    XDestroyWindow(hostDisplay, parent);
    XCloseDisplay(hostDisplay);
}

// Xlib's own answer to a lost server is to end the process; the module must
// close its side quietly instead and leave the host running. Run in a child
// process, since the failure it guards against ends the process.
void loseTheDisplayUnderAnOpenEditor() {
    vhost::PluginHost host;
    if (!host.load(VORNHALT_MODULE_PATH)) {
        std::exit(2);
    }
    host.open(44100.0, 512);
    PrivateXvfb server;
    Display* hostDisplay = server.name().empty() ? nullptr : XOpenDisplay(server.name().c_str());
    if (hostDisplay == nullptr) {
        std::exit(3);
    }
    const Window parent = makeParent(hostDisplay);
    if (host.openEditor(parent, hostDisplay) != 1 || !idleUntilPainted(host, hostDisplay, parent)) {
        std::exit(4);
    }
    std::vector<float> in(kBlock, 0.1f), out(kBlock);
    server.kill();
    for (int i = 0; i < 20; ++i) {
        host.idleEditor();
        host.setParameter(i, 0.3f);
        host.processReplacing(in.data(), in.data(), out.data(), out.data(), kBlock);
    }
    host.closeEditor();
    host.idleEditor();
    // Opening again, with the server gone, fails and says so.
    const auto reopened = host.openEditor(parent, hostDisplay);
    host.unload();
    // The host's own connection is broken too; a host with handlers of its own closes it quietly.
    XSetIOErrorHandler([](Display*) { return 0; });
    XSetIOErrorExitHandler(
        hostDisplay, [](Display*, void*) {}, nullptr);
    XCloseDisplay(hostDisplay);
    FcFini(); // for the leak checker of the sanitizer build: the module keeps no faces now
    std::exit(reopened == 0 ? 0 : 5);
}

TEST(HostsX11Lost, ADisplayThatGoesAwayLeavesTheHostRunning) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(loseTheDisplayUnderAnOpenEditor(), ::testing::ExitedWithCode(0), "");
}

} // namespace
