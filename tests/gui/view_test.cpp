// The view tree and the frame: drawing order, mouse dispatch, deferred
// redraw through the back buffer, focus and keys, and ownership.

#include <gtest/gtest.h>

#include "gui_test_support.h"

namespace {

constexpr CColor kRed{255, 0, 0, 255};
constexpr CColor kGreen{0, 255, 0, 255};
constexpr CColor kBlue{0, 0, 255, 255};

struct FrameFixture : ::testing::Test {
    RecordingHost host;
    HeadlessEditor editor{&host, 100, 60};
    std::vector<std::string> log;
    std::int64_t liveBefore = CBaseObject::liveObjects();

    CFrame* frame() { return editor.getFrame(); }
    HeadlessWindow& window() { return editor.window(); }
    ColourView* add(const CRect& r, CColor c, const std::string& name) {
        auto* v = new ColourView(r, c, &log, name);
        frame()->addView(v);
        return v;
    }
    void openWithoutPaint() {
        static int parent;
        ASSERT_TRUE(editor.open(&parent));
    }
};

} // namespace

TEST_F(FrameFixture, FirstPaintDrawsTheBackgroundAndEveryViewInOrder) {
    openWithoutPaint();
    frame()->setBackgroundColor(CColor{10, 20, 30, 255});
    add(CRect(10, 10, 40, 40), kRed, "under");
    add(CRect(30, 30, 60, 50), kGreen, "over");
    EXPECT_EQ(window().presentCount(), 0);
    editor.platform().processEvents(); // the window's first paint request
    EXPECT_EQ(log, (std::vector<std::string>{"under", "over"}));
    EXPECT_EQ(window().screenPixel(0, 0), argb(255, 10, 20, 30));
    EXPECT_EQ(window().screenPixel(15, 15), opaque(kRed));
    EXPECT_EQ(window().screenPixel(35, 35), opaque(kGreen)); // the later view is on top
    EXPECT_EQ(window().screenPixel(55, 45), opaque(kGreen));
    EXPECT_EQ(window().screenPixel(99, 59), argb(255, 10, 20, 30));
    EXPECT_FALSE(frame()->isDirty());
}

TEST_F(FrameFixture, NothingIsDrawnBeforeTheFirstPaintHoweverMuchIsMarked) {
    openWithoutPaint();
    ColourView* view = add(CRect(0, 0, 10, 10), kRed, "v");
    view->setDirty();
    frame()->setDirty();
    frame()->idle();
    frame()->idle();
    EXPECT_EQ(view->draws, 0);
    EXPECT_EQ(window().presentCount(), 0);
    EXPECT_TRUE(frame()->isFirstDraw());

    editor.idle(); // handles the window's paint request: everything is drawn once
    EXPECT_EQ(view->draws, 1);
    EXPECT_FALSE(frame()->isFirstDraw());
    EXPECT_EQ(window().screenPixel(5, 5), opaque(kRed));

    view->setDirty();
    editor.idle();
    EXPECT_EQ(view->draws, 2);
}

TEST_F(FrameFixture, IdleRedrawsOnlyWhatChangedTogetherWithTheViewsItTouches) {
    openWithoutPaint();
    ColourView* a = add(CRect(0, 0, 30, 30), kRed, "a");
    ColourView* b = add(CRect(20, 20, 50, 50), kGreen, "b"); // overlaps a
    ColourView* c = add(CRect(70, 0, 90, 20), kBlue, "c");   // apart
    editor.platform().processEvents();
    log.clear();
    int presentsBefore = window().presentCount();

    editor.idle(); // nothing dirty: nothing drawn or shown
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(window().presentCount(), presentsBefore);

    b->colour = kBlue;
    b->setDirty();
    editor.idle();
    // b's rectangle is redrawn through the frame: a (under it) and b, not c.
    EXPECT_EQ(log, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(c->draws, 1);
    EXPECT_EQ(window().presentCount(), presentsBefore + 1);
    EXPECT_EQ(window().screenPixel(25, 25), opaque(kBlue));
    EXPECT_EQ(window().screenPixel(5, 5), opaque(kRed));
    EXPECT_FALSE(frame()->isDirty());
    (void)a;
}

TEST_F(FrameFixture, AViewUnderAChangedViewIsRepaintedOnlyInsideTheChangedRectangle) {
    openWithoutPaint();
    add(CRect(0, 0, 100, 60), kRed, "big");
    ColourView* small = add(CRect(10, 10, 20, 20), kGreen, "small");
    editor.platform().processEvents();
    // Paint something into the back buffer outside the small view: a redraw
    // of the small view's area must not touch it.
    COffscreenContext* back = frame()->getBackBuffer();
    back->setFillColor(kBlue);
    back->fillRect(CRect(50, 50, 51, 51));
    small->setDirty();
    editor.idle();
    EXPECT_EQ(window().screenPixel(50, 50), opaque(kBlue));
    EXPECT_EQ(window().screenPixel(15, 15), opaque(kGreen));
}

TEST_F(FrameFixture, APressOverTwoViewsReachesTheLaterOneOnly) {
    editor.openAndPaint();
    ColourView* under = add(CRect(0, 0, 50, 50), kRed, "under");
    ColourView* over = add(CRect(25, 25, 75, 55), kGreen, "over");
    window().mouseDown(CPoint(30, 30), kLButton);
    EXPECT_EQ(over->presses, 1);
    EXPECT_EQ(under->presses, 0);
    EXPECT_EQ(over->lastWhere, CPoint(30, 30));
    EXPECT_EQ(over->lastButtons, kLButton);

    window().mouseDown(CPoint(10, 10), kRButton);
    EXPECT_EQ(under->presses, 1);
    EXPECT_EQ(over->presses, 1);

    // A view that does not take the mouse lets the press through.
    over->setMouseEnabled(false);
    window().mouseDown(CPoint(30, 30), kLButton);
    EXPECT_EQ(under->presses, 2);
    // Outside every view nothing happens.
    window().mouseDown(CPoint(90, 5), kLButton);
    EXPECT_EQ(under->presses + over->presses, 3);
}

TEST_F(FrameFixture, TheMouseableAreaDecidesTheHit) {
    editor.openAndPaint();
    ColourView* v = add(CRect(0, 0, 40, 40), kRed, "v");
    v->setMouseableArea(CRect(0, 0, 10, 10));
    window().mouseDown(CPoint(20, 20), kLButton);
    EXPECT_EQ(v->presses, 0);
    window().mouseDown(CPoint(5, 5), kLButton);
    EXPECT_EQ(v->presses, 1);
}

TEST_F(FrameFixture, AModalViewTakesEveryPress) {
    editor.openAndPaint();
    ColourView* normal = add(CRect(0, 0, 50, 50), kRed, "normal");
    auto* modal = new ColourView(CRect(60, 0, 70, 10), kBlue);
    frame()->setModalView(modal);
    window().mouseDown(CPoint(10, 10), kLButton);
    EXPECT_EQ(normal->presses, 0);
    EXPECT_EQ(modal->presses, 1);
    frame()->setModalView(nullptr);
    window().mouseDown(CPoint(10, 10), kLButton);
    EXPECT_EQ(normal->presses, 1);
}

TEST_F(FrameFixture, NestedContainersPlaceChildrenRelativeToTheirOrigin) {
    editor.openAndPaint();
    auto* box = new CViewContainer(CRect(40, 20, 90, 60), frame());
    box->setBackgroundColor(kBlue);
    auto* inner = new ColourView(CRect(5, 5, 15, 15), kRed);
    box->addView(inner);
    frame()->addView(box);
    EXPECT_EQ(inner->getFrame(), frame());
    frame()->setDirty();
    editor.idle();
    EXPECT_EQ(window().screenPixel(46, 26), opaque(kRed)); // (40 + 5, 20 + 5) onwards
    EXPECT_EQ(window().screenPixel(44, 24), opaque(kBlue));
    EXPECT_EQ(window().screenPixel(56, 36), opaque(kBlue));

    window().mouseDown(CPoint(47, 27), kLButton);
    EXPECT_EQ(inner->presses, 1);
    EXPECT_EQ(inner->lastWhere, CPoint(7, 7));
    CPoint p(7, 7);
    EXPECT_EQ(inner->localToFrame(p), CPoint(47, 27));
    EXPECT_EQ(inner->frameToLocal(p), CPoint(7, 7));

    // A change inside the box is redrawn in the right place.
    inner->colour = kGreen;
    inner->setDirty();
    editor.idle();
    EXPECT_EQ(window().screenPixel(46, 26), opaque(kGreen));
    EXPECT_EQ(window().screenPixel(44, 24), opaque(kBlue));
}

TEST_F(FrameFixture, ContainersAnswerTheContainerQueryAndClassNamesFollowTheHierarchy) {
    editor.openAndPaint();
    auto* view = new CView(CRect(0, 0, 1, 1));
    frame()->addView(view);
    EXPECT_EQ(frame()->notify(nullptr, kMsgCheckIfViewContainer), 1);
    EXPECT_EQ(view->notify(nullptr, kMsgCheckIfViewContainer), 0);
    EXPECT_TRUE(frame()->isTypeOf("CFrame"));
    EXPECT_TRUE(frame()->isTypeOf("CViewContainer"));
    EXPECT_TRUE(frame()->isTypeOf("CView"));
    EXPECT_FALSE(view->isTypeOf("CViewContainer"));
    auto* knob = new CKnob(CRect(0, 0, 10, 10), nullptr, 1, nullptr, nullptr);
    EXPECT_TRUE(knob->isTypeOf("CKnob"));
    EXPECT_TRUE(knob->isTypeOf("CControl"));
    EXPECT_FALSE(knob->isTypeOf("COnOffButton"));
    knob->release();
}

TEST_F(FrameFixture, TabMovesTheFocusAndKeysGoToTheFocusThenTheModalView) {
    struct KeyView : ColourView {
        using ColourView::ColourView;
        std::int32_t answer = -1;
        int keys = 0;
        int focusTaken = 0;
        int focusLost = 0;
        std::int32_t onKeyDown(CKeyCode& key) override {
            keys += key.virt == VKEY_TAB ? 0 : 1; // Tab is offered too, and not taken
            return answer;
        }
        void takeFocus(CDrawContext*) override { ++focusTaken; }
        void loseFocus(CDrawContext*) override { ++focusLost; }
    };
    editor.openAndPaint();
    auto* first = new KeyView(CRect(0, 0, 10, 10), kRed);
    auto* second = new KeyView(CRect(10, 0, 20, 10), kRed);
    frame()->addView(first);
    frame()->addView(second);

    CKeyCode tab{0, VKEY_TAB, 0};
    EXPECT_EQ(editor.onKeyDown(tab), 1);
    EXPECT_EQ(frame()->getFocusView(), first);
    EXPECT_EQ(editor.onKeyDown(tab), 1);
    EXPECT_EQ(frame()->getFocusView(), second);
    EXPECT_EQ(first->focusLost, 1);
    EXPECT_EQ(editor.onKeyDown(tab), -1); // no view after the last
    CKeyCode backTab{0, VKEY_TAB, MODIFIER_SHIFT};
    EXPECT_EQ(editor.onKeyDown(backTab), 1);
    EXPECT_EQ(frame()->getFocusView(), first);

    CKeyCode letter{'a', 0, 0};
    EXPECT_EQ(editor.onKeyDown(letter), -1);
    EXPECT_EQ(first->keys, 1);
    auto* modal = new KeyView(CRect(50, 0, 60, 10), kRed);
    modal->answer = 1;
    frame()->setModalView(modal);
    EXPECT_EQ(editor.onKeyDown(letter), 1);
    EXPECT_EQ(first->keys, 2);
    EXPECT_EQ(modal->keys, 1);

    // A press anywhere clears the focus.
    frame()->setModalView(nullptr);
    window().mouseDown(CPoint(90, 50), kLButton);
    EXPECT_EQ(frame()->getFocusView(), nullptr);
}

TEST_F(FrameFixture, ClosingTheFrameReleasesEveryViewAndBitmap) {
    {
        editor.openAndPaint();
        auto* bitmap = new GuiBitmap(4, 4);
        auto* knob = new CKnob(CRect(0, 0, 4, 4), nullptr, 0, bitmap, bitmap);
        EXPECT_EQ(bitmap->getReferenceCount(), 3);
        bitmap->release(); // the creator's reference: the knob keeps its two
        frame()->addView(knob);
        auto* box = new CViewContainer(CRect(10, 10, 30, 30), frame());
        box->addView(new ColourView(CRect(0, 0, 5, 5), kRed));
        frame()->addView(box);
        frame()->setBackground(new GuiBitmap(100, 60));
        frame()->getBackground()->release();
        auto* context = frame()->createWindowContext();
        context->release();
        editor.idle();
        editor.close();
    }
    EXPECT_EQ(editor.getFrame(), nullptr);
    EXPECT_EQ(editor.platform().openWindows(), 0u);
    EXPECT_EQ(CBaseObject::liveObjects(), liveBefore);
}

TEST_F(FrameFixture, RemovingAViewReleasesItAndForgetsItAsFocus) {
    editor.openAndPaint();
    ColourView* v = add(CRect(0, 0, 10, 10), kRed, "v");
    v->retain();
    frame()->setFocusView(v);
    EXPECT_TRUE(frame()->removeView(v));
    EXPECT_EQ(frame()->getFocusView(), nullptr);
    EXPECT_EQ(v->getReferenceCount(), 1);
    EXPECT_EQ(v->getFrame(), nullptr);
    v->release();
}

TEST_F(FrameFixture, AWindowDestroyedByTheHostClosesTheFrameQuietly) {
    editor.openAndPaint();
    ColourView* v = add(CRect(0, 0, 10, 10), kRed, "v");
    int presents = window().presentCount();
    window().destroyByHost();
    EXPECT_FALSE(frame()->isOpen());
    v->setDirty();
    editor.idle();
    EXPECT_EQ(window().presentCount(), presents);
    EXPECT_EQ(frame()->getParentWindow(), nullptr);
}

TEST_F(FrameFixture, NoParentWindowMeansNoWindow) {
    editor.open(nullptr);
    EXPECT_FALSE(frame()->isOpen());
    EXPECT_EQ(editor.platform().openWindows(), 0u);
    frame()->setDirty();
    editor.idle();
}

TEST_F(FrameFixture, ResizingAsksTheHostThatCanSizeWindows) {
    editor.openAndPaint();
    EXPECT_TRUE(frame()->setSize(120, 80));
    EXPECT_EQ(host.count("size 120x80"), 1);
    EXPECT_EQ(frame()->getWidth(), 120);
    editor.platform().processEvents();
    EXPECT_EQ(window().screen().width(), 120);
    EXPECT_NE(window().screenPixel(110, 70), opaque(HeadlessWindow::kUnpaintedColour));
}

TEST_F(FrameFixture, WindowEventsWaitForTheEditorsIdle) {
    editor.openAndPaint();
    ColourView* v = add(CRect(0, 0, 40, 40), kRed, "v");
    editor.idle(); // drawn whole once: a pending change would be drawn whole again
    window().queueMouseDown(CPoint(5, 5), kLButton);
    window().expose(CRect(0, 0, 10, 10));
    EXPECT_EQ(v->presses, 0);
    int draws = v->draws;
    editor.idle();
    EXPECT_EQ(v->presses, 1);
    EXPECT_EQ(v->draws, draws + 1);
    EXPECT_EQ(window().lastPresentArea(), CRect(0, 0, 10, 10));
}
