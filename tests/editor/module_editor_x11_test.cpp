// The built module's editor in a real X server, driven as a Linux host drives
// it: a parent window of the host's own, effEditGetRect, effEditOpen with the
// window id (and the host's display in `value`), effEditIdle at 30 Hz, a
// user's real pointer (XTest, from a second thread on its own connection),
// effEditClose, and opening again. Needs DISPLAY: run under scripts/with-xvfb.

#include <gtest/gtest.h>

#include "module_display_fixture.h"

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "host/plugin_host.h"

// Last: Xlib's macros (None, Bool, Status...) would clash with the C++ headers.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <cairo.h>
#include <fontconfig/fontconfig.h>

namespace {

// After the last test (every editor closed, so the module holds no font
// faces), fontconfig's configuration is released: the leak checker of the
// sanitizer build cannot follow the offsets fontconfig keeps instead of
// pointers, and would take the configuration for a leak.
class FontLibraryShutdown : public ::testing::Environment {
public:
    void TearDown() override { FcFini(); }
};
const auto* const fontShutdown = ::testing::AddGlobalTestEnvironment(new FontLibraryShutdown);

constexpr int kWidth = 659;
constexpr int kHeight = 479;
constexpr int kParentX = 30;
constexpr int kParentY = 60;
constexpr int kIdleMs = 33; // the host's idle: 30 times a second
constexpr int kItemHeight = 18;
constexpr int kPopupBorder = 2;
constexpr std::uint32_t kTeal = 0x167096; // the labels' boxes
const int kFilterLeft = 445;
const int kFilterTop = 100;

void sleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

bool waitFor(const std::function<bool()>& condition, int timeoutMs = 10000) {
    for (int t = 0; t < timeoutMs; t += 5) {
        if (condition()) {
            return true;
        }
        sleepMs(5);
    }
    return condition();
}

// The user: a pointer and buttons through XTest, on a connection of its own.
class User {
public:
    User() : dpy(XOpenDisplay(nullptr)) {}
    ~User() {
        if (dpy != nullptr) {
            XCloseDisplay(dpy);
        }
    }
    void moveTo(int x, int y) {
        XTestFakeMotionEvent(dpy, -1, x, y, CurrentTime);
        XSync(dpy, False);
    }
    void button(unsigned int number, bool down) {
        XTestFakeButtonEvent(dpy, number, down ? True : False, CurrentTime);
        XSync(dpy, False);
    }
    void click(int x, int y, unsigned int number = 1) {
        moveTo(x, y);
        button(number, true);
        sleepMs(15);
        button(number, false);
    }
    // Mapped override-redirect windows: the pop-up menus.
    std::vector<XWindowAttributes> popups() {
        std::vector<XWindowAttributes> found;
        Window root = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        if (XQueryTree(dpy, DefaultRootWindow(dpy), &root, &parent, &children, &count) == 0) {
            return found;
        }
        for (unsigned int i = 0; i < count; ++i) {
            XWindowAttributes a{};
            if (XGetWindowAttributes(dpy, children[i], &a) != 0 && a.override_redirect &&
                a.map_state == IsViewable) {
                found.push_back(a);
            }
        }
        if (children != nullptr) {
            XFree(children);
        }
        return found;
    }

private:
    Display* dpy;
};

bool hasEvent(const vhost::PluginHost& host, vhost::HostEventKind kind, int index) {
    for (const vhost::HostEvent& e : host.events()) {
        if (e.kind == kind && e.index == index) {
            return true;
        }
    }
    return false;
}

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels; // 0xRRGGBB
};

bool readPng(const std::string& path, Picture& picture) {
    cairo_surface_t* surface = cairo_image_surface_create_from_png(path.c_str());
    bool ok = cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS;
    if (ok) {
        picture.width = cairo_image_surface_get_width(surface);
        picture.height = cairo_image_surface_get_height(surface);
        const int stride = cairo_image_surface_get_stride(surface) / 4;
        const auto* data = reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(surface));
        for (int y = 0; y < picture.height; ++y) {
            for (int x = 0; x < picture.width; ++x) {
                picture.pixels.push_back(data[y * stride + x] & 0xffffffu);
            }
        }
    }
    cairo_surface_destroy(surface);
    return ok;
}

class ModuleEditor : public ModuleDisplayFixture {
protected:
    void destroyHostWindows() override {
        for (Window w : parents) {
            XDestroyWindow(dpy, w);
        }
    }

    // The host's window for the editor, sized from the editor's rectangle.
    Window makeParent(int x, int y, int width, int height) {
        int screen = DefaultScreen(dpy);
        Window w = XCreateSimpleWindow(dpy, RootWindow(dpy, screen), x, y, static_cast<unsigned>(width),
                                       static_cast<unsigned>(height), 0, BlackPixel(dpy, screen),
                                       BlackPixel(dpy, screen));
        XMapWindow(dpy, w);
        XSync(dpy, False);
        parents.push_back(w);
        return w;
    }
    std::vector<Window> childrenOf(Window window) { return childWindows(dpy, window); }
    std::uint32_t pixel(Window window, int x, int y) {
        XImage* image = XGetImage(dpy, window, x, y, 1, 1, AllPlanes, ZPixmap);
        if (image == nullptr) {
            return 0xdeadbeef;
        }
        auto value = static_cast<std::uint32_t>(XGetPixel(image, 0, 0)) & 0xffffffu;
        XDestroyImage(image);
        return value;
    }
    Picture grab(Window window) {
        Picture picture;
        XImage* image = XGetImage(dpy, window, 0, 0, kWidth, kHeight, AllPlanes, ZPixmap);
        if (image == nullptr) {
            return picture;
        }
        picture.width = kWidth;
        picture.height = kHeight;
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                picture.pixels.push_back(static_cast<std::uint32_t>(XGetPixel(image, x, y)) & 0xffffffu);
            }
        }
        XDestroyImage(image);
        return picture;
    }
    void savePicture(const Picture& picture, const char* path) {
        cairo_surface_t* surface =
            cairo_image_surface_create(CAIRO_FORMAT_RGB24, picture.width, picture.height);
        auto* data = reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(surface));
        const int stride = cairo_image_surface_get_stride(surface) / 4;
        for (int y = 0; y < picture.height; ++y) {
            for (int x = 0; x < picture.width; ++x) {
                data[y * stride + x] = picture.pixels[static_cast<std::size_t>(y * picture.width + x)];
            }
        }
        cairo_surface_mark_dirty(surface);
        cairo_surface_write_to_png(surface, path);
        cairo_surface_destroy(surface);
    }
    // The host's idle loop, until the condition holds.
    bool idleUntil(vhost::PluginHost& target, const std::function<bool()>& condition, int timeoutMs = 15000) {
        for (int t = 0; t < timeoutMs; t += kIdleMs) {
            target.idleEditor();
            if (condition()) {
                return true;
            }
            sleepMs(kIdleMs);
        }
        return condition();
    }
    // Idles until the label boxes show, then a little longer so every
    // request the plug-in sent has reached the screen.
    bool painted(vhost::PluginHost& target, Window parent) {
        if (!idleUntil(target, [&] { return pixel(parent, 25, 31) == kTeal; })) {
            return false;
        }
        settle(target);
        return true;
    }
    void settle(vhost::PluginHost& target) {
        for (int i = 0; i < 3; ++i) {
            target.idleEditor();
            sleepMs(20);
        }
        XSync(dpy, False);
    }
    // The same state drawn without a display, by the renderer's helper.
    Picture headlessShot() {
        const std::vector<std::uint8_t> bank = host.getChunk(false);
        const std::string folder = ::testing::TempDir();
        const std::string chunk = folder + "vornhalt-x11-bank.bin";
        const std::string png = folder + "vornhalt-x11-shot.png";
        std::ofstream(chunk, std::ios::binary)
            .write(reinterpret_cast<const char*>(bank.data()), static_cast<std::streamsize>(bank.size()));
        const std::string command = std::string("'") + EDITOR_SHOT_PROGRAM + "' --bank-chunk '" + chunk +
                                    "' --program " + std::to_string(host.program()) + " '" + png + "'";
        Picture picture;
        if (std::system(command.c_str()) == 0) {
            readPng(png, picture);
        }
        std::remove(chunk.c_str());
        std::remove(png.c_str());
        return picture;
    }
    static int differingPixels(const Picture& a, const Picture& b) {
        if (a.pixels.size() != b.pixels.size()) {
            return -1;
        }
        int count = 0;
        for (std::size_t i = 0; i < a.pixels.size(); ++i) {
            count += a.pixels[i] != b.pixels[i] ? 1 : 0;
        }
        return count;
    }
    static void* handleOf(Window w) { return reinterpret_cast<void*>(static_cast<std::uintptr_t>(w)); }

    std::vector<Window> parents;
};

} // namespace

TEST_F(ModuleEditor, AHostOpensDragsPicksClosesAndReopens) {
    ASSERT_EQ(host.effect()->flags & vst2::effFlagsHasEditor, vst2::effFlagsHasEditor);
    vst2::ERect rect{};
    ASSERT_TRUE(host.editorRect(rect));
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.bottom, kHeight);
    EXPECT_EQ(rect.right, kWidth);
    const Window parent = makeParent(kParentX, kParentY, rect.right - rect.left, rect.bottom - rect.top);

    ASSERT_EQ(host.openEditor(parent, dpy), 1);
    ASSERT_EQ(childrenOf(parent).size(), 1u);
    ASSERT_TRUE(painted(host, parent));
    const Picture shown = grab(parent);
    if (const char* path = std::getenv("VORNHALT_EDITOR_SCREENSHOT")) {
        savePicture(shown, path);
    }
    // The window system shows exactly what the headless backend draws.
    EXPECT_EQ(differingPixels(shown, headlessShot()), 0);

    // A drag across the filter display: right and up.
    host.clearEvents();
    const float cutoffBefore = host.getParameter(19);
    std::atomic<bool> userDone{false};
    std::thread drag([&] {
        User user;
        const int x0 = kParentX + 470;
        const int y0 = kParentY + 150;
        user.moveTo(x0, y0);
        user.button(1, true);
        waitFor([&] { return hasEvent(host, vhost::HostEventKind::BeginEdit, 19); });
        for (int step = 1; step <= 10; ++step) {
            user.moveTo(x0 + 2 * step, y0 - 2 * step);
            sleepMs(20);
        }
        sleepMs(60);
        user.button(1, false);
        userDone = true;
    });
    const bool dragEnded =
        idleUntil(host, [&] { return userDone.load() && hasEvent(host, vhost::HostEventKind::EndEdit, 19); });
    drag.join();
    ASSERT_TRUE(dragEnded);
    const double x = (490.0 - kFilterLeft) / 105.0;
    EXPECT_NE(host.getParameter(19), cutoffBefore);
    EXPECT_NEAR(host.getParameter(19), std::exp(std::log(0.0022675737272948027) * (1.0 - x)), 1e-5);
    EXPECT_FLOAT_EQ(host.getParameter(20), 0.7f);
    std::vector<int> automated;
    for (const vhost::HostEvent& e : host.events()) {
        if (e.kind == vhost::HostEventKind::Automate) {
            automated.push_back(e.index);
        }
    }
    ASSERT_GE(automated.size(), 3u);
    ASSERT_EQ(automated.size() % 3, 0u);
    for (std::size_t i = 0; i < automated.size(); i += 3) {
        EXPECT_EQ(automated[i], 19);
        EXPECT_EQ(automated[i + 1], 20);
        EXPECT_EQ(automated[i + 2], 18);
    }

    // A right click opens the type menu at the display's top-left corner;
    // "Highpass" is the second entry.
    host.clearEvents();
    std::atomic<bool> sawMenu{false};
    std::atomic<int> menuX{-1};
    std::atomic<int> menuY{-1};
    std::thread pick([&] {
        User user;
        user.click(kParentX + 480, kParentY + 150, 3);
        if (!waitFor([&] { return user.popups().size() == 1; })) {
            return;
        }
        const XWindowAttributes popup = user.popups().front();
        sawMenu = true;
        menuX = popup.x;
        menuY = popup.y;
        sleepMs(50); // the menu stays open after the right button's release
        user.click(popup.x + 30, popup.y + kPopupBorder + kItemHeight + kItemHeight / 2);
    });
    const bool picked = idleUntil(host, [&] { return hasEvent(host, vhost::HostEventKind::EndEdit, 18); });
    pick.join();
    ASSERT_TRUE(sawMenu.load());
    ASSERT_TRUE(picked);
    EXPECT_EQ(menuX.load(), kParentX + kFilterLeft);
    EXPECT_EQ(menuY.load(), kParentY + kFilterTop);
    EXPECT_FLOAT_EQ(host.getParameter(18), 0.1f);
    EXPECT_TRUE(User().popups().empty()) << "the pop-up window was not destroyed";

    host.closeEditor();
    EXPECT_TRUE(childrenOf(parent).empty());

    // Opened again, the panel shows the state as it is now.
    ASSERT_EQ(host.openEditor(parent, dpy), 1);
    ASSERT_EQ(childrenOf(parent).size(), 1u);
    ASSERT_TRUE(painted(host, parent));
    EXPECT_EQ(differingPixels(grab(parent), headlessShot()), 0);
    host.closeEditor();
    EXPECT_TRUE(childrenOf(parent).empty());
}

TEST_F(ModuleEditor, HostAutomationShowsOnScreenAtTheNextIdle) {
    const Window parent = makeParent(kParentX, kParentY, kWidth, kHeight);
    ASSERT_EQ(host.openEditor(parent, dpy), 1);
    ASSERT_TRUE(painted(host, parent));
    const Picture before = grab(parent);
    host.clearEvents();
    host.setParameter(54, 1.0f);
    host.setParameter(25, 4.0f);
    EXPECT_EQ(differingPixels(grab(parent), before), 0);
    settle(host);
    EXPECT_GT(differingPixels(grab(parent), before), 0);
    EXPECT_EQ(differingPixels(grab(parent), headlessShot()), 0);
    EXPECT_TRUE(host.events().empty()); // nothing echoed back
    host.closeEditor();
}

TEST_F(ModuleEditor, OpenIdleCloseManyTimes) {
    const Window parent = makeParent(kParentX, kParentY, kWidth, kHeight);
    EXPECT_EQ(host.dispatch(vst2::effSetEditKnobMode, 0, 2), 1);
    for (int round = 0; round < 25; ++round) {
        ASSERT_EQ(host.openEditor(parent, dpy), 1) << round;
        for (int i = 0; i < 3; ++i) {
            host.idleEditor();
        }
        host.setParameter(5, static_cast<float>(round % 10) / 10.0f);
        host.idleEditor();
        host.closeEditor();
        ASSERT_TRUE(childrenOf(parent).empty()) << round;
        host.idleEditor(); // idle while closed does nothing
    }
    // A host that closes twice, or opens without closing, is harmless too.
    ASSERT_EQ(host.openEditor(parent, dpy), 1);
    ASSERT_EQ(host.dispatch(vst2::effEditOpen, 0, reinterpret_cast<vst2::intptr>(dpy), handleOf(parent)), 1);
    EXPECT_EQ(childrenOf(parent).size(), 1u);
    host.closeEditor();
    host.dispatch(vst2::effEditClose);
    EXPECT_TRUE(childrenOf(parent).empty());
}

TEST_F(ModuleEditor, TwoInstancesOpenAtOnce) {
    vhost::PluginHost second;
    ASSERT_TRUE(second.load(VORNHALT_MODULE_PATH)) << second.error();
    second.open(44100.0, 512);
    second.setParameter(18, 0.7f);
    // One above the other, both fully on the screen.
    const Window first = makeParent(kParentX, 20, kWidth, kHeight);
    const Window other = makeParent(kParentX, 20 + kHeight + 10, kWidth, kHeight);
    ASSERT_EQ(host.openEditor(first, dpy), 1);
    ASSERT_EQ(second.openEditor(other, dpy), 1);
    ASSERT_TRUE(idleUntil(host, [&] {
        second.idleEditor();
        return pixel(first, 25, 31) == kTeal && pixel(other, 25, 31) == kTeal;
    }));
    settle(host);
    settle(second);
    EXPECT_EQ(childrenOf(first).size(), 1u);
    EXPECT_EQ(childrenOf(other).size(), 1u);
    // Each window shows its own instance.
    EXPECT_GT(differingPixels(grab(first), grab(other)), 0);

    host.closeEditor();
    second.setParameter(54, 0.0f);
    second.idleEditor();
    EXPECT_TRUE(childrenOf(first).empty());
    EXPECT_EQ(childrenOf(other).size(), 1u);
    second.closeEditor();
    EXPECT_TRUE(childrenOf(other).empty());
    second.unload();
}
