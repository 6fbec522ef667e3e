// The toolkit in a real X server: a window standing in for the host's parent,
// a frame opened in it, a real pointer (XTest, driven from a second thread on
// a connection of its own, as a user would) on a knob and on a pop-up menu,
// and closing. Needs DISPLAY: run under scripts/with-xvfb.

#include <gtest/gtest.h>

#include "support/x11_display_fixture.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "gui/control.h"
#include "gui/gui_bitmap.h"
#include "gui/gui_editor.h"
#include "gui/option_menu.h"
#include "gui/param_display.h"
#include "gui/view.h"
#include "gui/x11/x11_platform.h"

// Last: Xlib's macros (None, Bool, Status...) would clash with the C++ headers.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <cairo.h>

namespace {

constexpr int kParentX = 40;
constexpr int kParentY = 150; // room above for a 100-pixel drag up
constexpr int kWidth = 300;
constexpr int kHeight = 200;
const CRect kKnobRect(50, 40, 80, 70);
const CRect kMenuRect(120, 48, 170, 60);
constexpr CColor kTeal{22, 112, 150, 0};
constexpr CColor kGold{228, 189, 31, 0};

void sleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

struct AtomicHost : GuiHost {
    std::atomic<int> begins{0};
    std::atomic<int> ends{0};
    std::atomic<int> idles{0};
    bool sizeWindow(std::int32_t, std::int32_t) override { return false; }
    bool canHostDo(const char*) override { return false; }
    void idle() override { ++idles; }
    void beginEdit(std::int32_t) override { ++begins; }
    void endEdit(std::int32_t) override { ++ends; }
};

// A premultiplied grey disc with a soft one-pixel edge.
GuiBitmap* softDisc(int size, std::uint8_t grey, double edge) {
    auto* bitmap = new GuiBitmap(size, size);
    double r = size / 2.0;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            double d = std::hypot(x + 0.5 - r, y + 0.5 - r);
            double a = std::clamp((r - d) / edge, 0.0, 1.0);
            auto alpha = static_cast<std::uint32_t>(a * 255.0 + 0.5);
            std::uint32_t c = (grey * alpha) >> 8;
            bitmap->mutablePixels()[y * size + x] =
                alpha == 0 ? 0u : (alpha << 24) | (c << 16) | (c << 8) | c;
        }
    }
    return bitmap;
}

// The editor under test: a background, a labelled knob with its display, and
// an option menu.
class X11Editor : public GuiEditor, public CControlListener {
public:
    explicit X11Editor(GuiHost* guiHost) : GuiEditor(guiHost, createX11Platform()) {}
    ~X11Editor() override { deleteFrame(); }

    bool open(void* parent) override {
        GuiEditor::open(parent);
        frame = new CFrame(CRect(0, 0, kWidth, kHeight), parent, this);
        auto* background = new GuiBitmap(kWidth, kHeight);
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                bool panel = x >= 20 && x < 200 && y >= 20 && y < 110;
                std::uint32_t r = panel ? 150 : 236;
                std::uint32_t g = panel ? 146 : 226;
                std::uint32_t b = panel ? 140 : 200 - y / 4;
                background->mutablePixels()[y * kWidth + x] = 0xff000000u | (r << 16) | (g << 8) | b;
            }
        }
        frame->setBackground(background);
        background->release();

        auto* label = new CTextLabel(CRect(44, 24, 94, 36), "Cutoff");
        style(label);
        frame->addView(label);
        GuiBitmap* face = softDisc(30, 60, 1.5);
        GuiBitmap* handle = softDisc(8, 250, 1.0);
        knob = new CKnob(kKnobRect, this, 19, face, handle);
        knob->setInsetValue(8);
        knob->setValue(0.f);
        face->release();
        handle->release();
        frame->addView(knob);
        display = new CParamDisplay(CRect(44, 72, 94, 84));
        style(display);
        frame->addView(display);

        auto* scheme = new MenuScheme();
        scheme->setBackgroundColor(kTeal);
        scheme->setSelectionColor(CColor{255, 255, 255, 0});
        scheme->setTextColor(kGold);
        scheme->setSelectedTextColor(CColor{48, 148, 189, 0});
        scheme->setDisabledTextColor(kGold);
        menu = new COptionMenu(kMenuRect, this, 21);
        menu->setScheme(scheme);
        scheme->release();
        style(menu);
        for (const char* entry : {"off", "4/1", "1/1", "1/2", "1/4", "1/8"}) {
            menu->addEntry(entry);
        }
        menu->setValue(4.f);
        frame->addView(menu);
        return frame->isOpen();
    }
    void close() override { deleteFrame(); }

    void valueChanged(CDrawContext* /*context*/, CControl* control) override {
        values.push_back(control->getValue());
        tags.push_back(control->getTag());
        if (control == knob) {
            display->setValue(control->getValue());
        }
    }

    CKnob* knob = nullptr;
    CParamDisplay* display = nullptr;
    COptionMenu* menu = nullptr;
    std::vector<float> values;
    std::vector<std::int32_t> tags;

private:
    static void style(CParamDisplay* view) {
        view->setFont(kNormalFontSmall);
        view->setFontColor(kGold);
        view->setBackColor(kTeal);
        view->setFrameColor(kTeal);
    }
};

// The user: moves the real pointer and presses real buttons and keys through
// XTest, on a connection of its own.
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
    void click(int x, int y) {
        moveTo(x, y);
        button(1, true);
        sleepMs(10);
        button(1, false);
    }
    void key(KeySym sym) {
        KeyCode code = XKeysymToKeycode(dpy, sym);
        XTestFakeKeyEvent(dpy, code, True, CurrentTime);
        XTestFakeKeyEvent(dpy, code, False, CurrentTime);
        XSync(dpy, False);
    }
    // Mapped override-redirect windows on the screen: the pop-up menus.
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
    bool waitFor(const std::function<bool()>& condition, int timeoutMs = 3000) {
        for (int t = 0; t < timeoutMs; t += 5) {
            if (condition()) {
                return true;
            }
            sleepMs(5);
        }
        return condition();
    }
    Display* display() const { return dpy; }

private:
    Display* dpy;
};

// Writes the screen area of a window to a PNG, for looking at.
bool saveWindowPng(Display* dpy, Window window, int width, int height, const char* path) {
    XImage* image = XGetImage(dpy, window, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height),
                              AllPlanes, ZPixmap);
    if (image == nullptr) {
        return false;
    }
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    auto* data = reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(surface));
    int stride = cairo_image_surface_get_stride(surface) / 4;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            data[y * stride + x] = static_cast<std::uint32_t>(XGetPixel(image, x, y)) & 0xffffffu;
        }
    }
    cairo_surface_mark_dirty(surface);
    bool ok = cairo_surface_write_to_png(surface, path) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    XDestroyImage(image);
    return ok;
}

class X11Frame : public X11DisplayFixture {
protected:
    // One connection stays open for the whole suite: an X server that starts
    // over when its last client leaves would refuse the next test's clients
    // for a moment.
    void SetUp() override {
        openDisplay();
        if (HasFatalFailure()) {
            return;
        }
        int screen = DefaultScreen(dpy);
        parent = XCreateSimpleWindow(dpy, RootWindow(dpy, screen), kParentX, kParentY, kWidth + 20,
                                     kHeight + 20, 0, BlackPixel(dpy, screen), WhitePixel(dpy, screen));
        XMapWindow(dpy, parent);
        XSync(dpy, False);
        CKnob::setKnobMode(kLinearMode);
    }
    void TearDown() override {
        CKnob::setKnobMode(kCircularMode);
        if (dpy != nullptr && parent != 0) {
            XDestroyWindow(dpy, parent);
        }
        closeDisplay();
    }

    void* parentHandle() const { return reinterpret_cast<void*>(static_cast<std::uintptr_t>(parent)); }
    // The host's idle, every 10 ms, until the condition holds.
    bool idleUntil(X11Editor& editor, const std::function<bool()>& condition, int timeoutMs = 3000) {
        for (int t = 0; t < timeoutMs; t += 10) {
            editor.idle();
            if (condition()) {
                return true;
            }
            sleepMs(10);
        }
        return condition();
    }
    std::vector<Window> childrenOf(Window window) {
        std::vector<Window> out;
        Window root = 0;
        Window up = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        XSync(dpy, False);
        if (XQueryTree(dpy, window, &root, &up, &children, &count) != 0) {
            out.assign(children, children + count);
            if (children != nullptr) {
                XFree(children);
            }
        }
        return out;
    }
    std::uint32_t screenPixel(int x, int y) {
        XImage* image = XGetImage(dpy, parent, x, y, 1, 1, AllPlanes, ZPixmap);
        if (image == nullptr) {
            return 0xdeadbeef;
        }
        auto pixel = static_cast<std::uint32_t>(XGetPixel(image, 0, 0)) & 0xffffffu;
        XDestroyImage(image);
        return pixel;
    }
    // The frame's window is at (0, 0) of the parent.
    CPoint onScreen(CPoint framePoint) const {
        return CPoint(kParentX + framePoint.h, kParentY + framePoint.v);
    }

    Window parent = 0;
    AtomicHost host;
};

} // namespace

TEST_F(X11Frame, TheFrameIsAChildOfTheHostWindowAndShowsItsBackgroundOnTheFirstExpose) {
    X11Editor editor(&host);
    ASSERT_TRUE(editor.open(parentHandle()));
    std::vector<Window> children = childrenOf(parent);
    ASSERT_EQ(children.size(), 1u);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(editor.getFrame()->getNativeWindow()), children[0]);
    ASSERT_TRUE(idleUntil(editor, [&] { return !editor.getFrame()->isFirstDraw(); }));
    XSync(dpy, False);
    COffscreenContext* back = editor.getFrame()->getBackBuffer();
    // Background beside and inside the panel, the teal label box, the knob face.
    for (CPoint p : {CPoint(5, 5), CPoint(250, 150), CPoint(30, 100), CPoint(46, 26), CPoint(65, 62)}) {
        EXPECT_EQ(screenPixel(p.h, p.v), back->pixelAt(p.h, p.v) & 0xffffffu) << p.h << "," << p.v;
    }
    EXPECT_EQ(screenPixel(5, 5), 0xECE2C7u);   // 236, 226, 200 - 5 / 4
    EXPECT_EQ(screenPixel(46, 25), 0x167096u); // the label's teal box

    if (const char* path = std::getenv("VORNHALT_GUI_SCREENSHOT")) {
        EXPECT_TRUE(saveWindowPng(dpy, parent, kWidth, kHeight, path));
    }
}

TEST_F(X11Frame, ARealDragOnTheKnobReachesTheListener) {
    X11Editor editor(&host);
    ASSERT_TRUE(editor.open(parentHandle()));
    ASSERT_TRUE(idleUntil(editor, [&] { return !editor.getFrame()->isFirstDraw(); }));

    std::atomic<bool> finished{false};
    std::thread user([&] {
        User u;
        CPoint centre = onScreen(CPoint(65, 55));
        u.moveTo(centre.h, centre.v);
        u.button(1, true);
        // Move only once the knob is tracking the press.
        u.waitFor([&] { return host.begins.load() > 0; });
        for (int step = 1; step <= 10; ++step) {
            u.moveTo(centre.h, centre.v - step * 10);
            sleepMs(15);
        }
        sleepMs(30);
        u.button(1, false);
        finished = true;
    });
    bool done = idleUntil(
        editor, [&] { return finished.load() && host.ends.load() > 0; }, 5000);
    user.join();
    ASSERT_TRUE(done);
    EXPECT_EQ(host.begins.load(), 1);
    EXPECT_EQ(host.ends.load(), 1);
    ASSERT_FALSE(editor.values.empty());
    // 100 pixels up at 200 pixels for the full range.
    EXPECT_FLOAT_EQ(editor.knob->getValue(), 0.5f);
    EXPECT_FLOAT_EQ(editor.values.back(), 0.5f);
    for (std::size_t i = 1; i < editor.values.size(); ++i) {
        EXPECT_GE(editor.values[i], editor.values[i - 1]); // the value only grows on the way up
    }
    // The host was kept idling during the drag.
    EXPECT_GE(host.idles.load(), 1);
}

TEST_F(X11Frame, APopupMenuOpensAndAClickOnAnEntryChoosesIt) {
    X11Editor editor(&host);
    ASSERT_TRUE(editor.open(parentHandle()));
    ASSERT_TRUE(idleUntil(editor, [&] { return !editor.getFrame()->isFirstDraw(); }));

    std::atomic<bool> sawMenu{false};
    std::atomic<int> menuTop{-1};
    std::thread user([&] {
        User u;
        CPoint at = onScreen(CPoint(kMenuRect.left + 10, kMenuRect.top + 6));
        u.click(at.h, at.v);
        if (!u.waitFor([&] { return u.popups().size() == 1; })) {
            return;
        }
        XWindowAttributes popup = u.popups().front();
        sawMenu = true;
        menuTop = popup.y;
        if (const char* path = std::getenv("VORNHALT_GUI_MENU_SCREENSHOT")) {
            saveWindowPng(u.display(), DefaultRootWindow(u.display()), kParentX + kWidth + 40,
                          kParentY + kHeight + 80, path);
        }
        // Entry 2 ("1/1"): items are 18 pixels tall inside a 2-pixel border.
        int x = popup.x + 20;
        int y = popup.y + kPopupBorder + 2 * 18 + 9;
        u.moveTo(x - 5, y - 18);
        sleepMs(20);
        u.click(x, y);
    });
    bool done = idleUntil(
        editor, [&] { return host.ends.load() > 0; }, 5000);
    user.join();
    ASSERT_TRUE(sawMenu.load());
    ASSERT_TRUE(done);
    // Below the control, at its left edge.
    EXPECT_EQ(menuTop.load(), kParentY + kMenuRect.bottom);
    ASSERT_EQ(editor.values.size(), 1u);
    EXPECT_FLOAT_EQ(editor.values[0], 2.f);
    EXPECT_EQ(editor.tags[0], 21);
    EXPECT_EQ(editor.menu->getCurrentIndex(), 2);
    User check;
    EXPECT_TRUE(check.popups().empty()) << "the pop-up window was not destroyed";
}

TEST_F(X11Frame, EscapeOrAClickOutsideDismissesThePopup) {
    X11Editor editor(&host);
    ASSERT_TRUE(editor.open(parentHandle()));
    ASSERT_TRUE(idleUntil(editor, [&] { return !editor.getFrame()->isFirstDraw(); }));

    for (int way = 0; way < 2; ++way) {
        int endsBefore = host.ends.load();
        std::atomic<bool> sawMenu{false};
        std::thread user([&] {
            User u;
            CPoint at = onScreen(CPoint(kMenuRect.left + 10, kMenuRect.top + 6));
            u.click(at.h, at.v);
            if (!u.waitFor([&] { return u.popups().size() == 1; })) {
                return;
            }
            sawMenu = true;
            sleepMs(20);
            if (way == 0) {
                u.key(XK_Escape);
            } else {
                CPoint outside = onScreen(CPoint(280, 190));
                u.click(outside.h, outside.v);
            }
        });
        bool done = idleUntil(
            editor, [&] { return host.ends.load() > endsBefore; }, 5000);
        user.join();
        ASSERT_TRUE(sawMenu.load()) << "way " << way;
        ASSERT_TRUE(done) << "way " << way;
        EXPECT_TRUE(editor.values.empty()) << "way " << way;
        EXPECT_EQ(editor.menu->getCurrentIndex(), 4);
        User check;
        EXPECT_TRUE(check.popups().empty());
    }
}

TEST_F(X11Frame, ClosingTheFrameDestroysItsWindow) {
    {
        X11Editor editor(&host);
        ASSERT_TRUE(editor.open(parentHandle()));
        ASSERT_TRUE(idleUntil(editor, [&] { return !editor.getFrame()->isFirstDraw(); }));
        EXPECT_EQ(childrenOf(parent).size(), 1u);
        editor.close();
        EXPECT_TRUE(childrenOf(parent).empty());
        // Opening again gives a complete new window.
        ASSERT_TRUE(editor.open(parentHandle()));
        ASSERT_TRUE(idleUntil(editor, [&] { return !editor.getFrame()->isFirstDraw(); }));
        EXPECT_EQ(childrenOf(parent).size(), 1u);
    } // the editor's destruction closes the second frame
    EXPECT_TRUE(childrenOf(parent).empty());
}

TEST_F(X11Frame, TwoEditorsOpenAtOnceWorkSideBySide) {
    int screen = DefaultScreen(dpy);
    Window secondParent =
        XCreateSimpleWindow(dpy, RootWindow(dpy, screen), kParentX + kWidth + 40, kParentY, kWidth, kHeight,
                            0, BlackPixel(dpy, screen), WhitePixel(dpy, screen));
    XMapWindow(dpy, secondParent);
    XSync(dpy, False);
    AtomicHost otherHost;
    {
        X11Editor first(&host);
        X11Editor second(&otherHost);
        ASSERT_TRUE(first.open(parentHandle()));
        ASSERT_TRUE(second.open(reinterpret_cast<void*>(static_cast<std::uintptr_t>(secondParent))));
        ASSERT_TRUE(idleUntil(first, [&] {
            second.idle();
            return !first.getFrame()->isFirstDraw() && !second.getFrame()->isFirstDraw();
        }));
        EXPECT_EQ(childrenOf(parent).size(), 1u);
        EXPECT_EQ(childrenOf(secondParent).size(), 1u);
        first.close();
        second.knob->setValue(0.75f);
        second.idle();
        EXPECT_TRUE(childrenOf(parent).empty());
        EXPECT_EQ(childrenOf(secondParent).size(), 1u);
    }
    EXPECT_TRUE(childrenOf(secondParent).empty());
    XDestroyWindow(dpy, secondParent);
}

TEST_F(X11Frame, AHostThatDestroysItsWindowFirstCausesNoErrors) {
    X11Editor editor(&host);
    ASSERT_TRUE(editor.open(parentHandle()));
    ASSERT_TRUE(idleUntil(editor, [&] { return !editor.getFrame()->isFirstDraw(); }));
    XDestroyWindow(dpy, parent);
    XSync(dpy, False);
    parent = 0;
    // Before the editor hears of it, and after.
    editor.knob->setValue(0.3f);
    EXPECT_TRUE(idleUntil(editor, [&] { return !editor.getFrame()->isOpen(); }));
    editor.idle();
    editor.close();
}

TEST_F(X11Frame, NoParentNoWindow) {
    X11Editor editor(&host);
    EXPECT_FALSE(editor.open(nullptr));
    editor.idle();
    editor.close();
}
