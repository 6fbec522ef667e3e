// The editor layer: the host's editor requests without and with a frame, the
// update flag, and the throttled idle under a scripted clock.

#include <gtest/gtest.h>

#include "gui_test_support.h"

namespace {

class CountingEditor : public HeadlessEditor {
public:
    using HeadlessEditor::HeadlessEditor;
    int updates = 0;
    void update() override { ++updates; }
};

} // namespace

TEST(GuiEditorRequests, WithoutAFrameNothingIsHandled) {
    RecordingHost host;
    CountingEditor editor(&host);
    GuiEditorRect* rect = nullptr;
    EXPECT_TRUE(editor.getRect(&rect));
    GuiEditorRect* again = nullptr;
    editor.getRect(&again);
    EXPECT_EQ(rect, again); // the same storage every time
    CKeyCode key{0, VKEY_UP, 0};
    EXPECT_EQ(editor.onKeyDown(key), -1);
    EXPECT_EQ(editor.onKeyUp(key), -1);
    EXPECT_FALSE(editor.onWheel(1.f));
    editor.idle();
    EXPECT_EQ(editor.updates, 0);
}

TEST(GuiEditorRequests, OpenMarksForUpdateAndIdleRunsTheUpdateOnce) {
    RecordingHost host;
    CountingEditor editor(&host);
    static int parent;
    EXPECT_FALSE(editor.GuiEditor::open(&parent)); // the layer itself builds nothing
    EXPECT_EQ(editor.getParentWindow(), &parent);
    EXPECT_TRUE(editor.isUpdatePending());
    editor.idle();
    editor.idle();
    EXPECT_EQ(editor.updates, 1);
    editor.setParameter(3, 0.5f);
    EXPECT_TRUE(editor.isUpdatePending());
    editor.idle();
    EXPECT_EQ(editor.updates, 2);
}

TEST(GuiEditorRequests, KnobModeAndEditGesturesReachTheirTargets) {
    RecordingHost host;
    CountingEditor editor(&host);
    EXPECT_EQ(editor.setKnobMode(kLinearMode), 1);
    EXPECT_EQ(CKnob::getKnobMode(), kLinearMode);
    editor.setKnobMode(kCircularMode);
    editor.beginEdit(12);
    editor.endEdit(12);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"begin 12", "end 12"}));
}

TEST(ThrottledIdle, TheHostIdlesAtMostAboutEvery50Milliseconds) {
    RecordingHost host;
    CountingEditor editor(&host);
    host.clock = &editor.platform();
    editor.platform().setClockStep(1);
    for (int i = 0; i < 2000; ++i) {
        editor.throttledIdle();
    }
    // 2000 calls of 1 to 5 ms each: several seconds, about 20 host idles a second.
    ASSERT_GE(host.idleTimes.size(), 20u);
    for (std::size_t i = 1; i < host.idleTimes.size(); ++i) {
        std::uint32_t gap = host.idleTimes[i] - host.idleTimes[i - 1];
        EXPECT_GE(gap, 50u) << i;
        EXPECT_LE(gap, 56u) << i;
    }
}

TEST(ThrottledIdle, AnEarlyCallSleepsAShortWhileInstead) {
    RecordingHost host;
    CountingEditor editor(&host);
    editor.throttledIdle(); // allowed at once
    EXPECT_EQ(host.count("idle"), 1);
    std::uint32_t slept = editor.platform().sleptTotal();
    editor.throttledIdle(); // 100 ms too early
    EXPECT_EQ(host.count("idle"), 1);
    EXPECT_EQ(editor.platform().sleptTotal(), slept + 4);
    editor.platform().setTime(editor.platform().time() + 46);
    editor.throttledIdle(); // 4 + 46 + 4: now 54 ms on, no longer more than 50 early
    EXPECT_EQ(host.count("idle"), 2);
}

TEST(ThrottledIdle, WorksAcrossTheClockWrapping) {
    RecordingHost host;
    CountingEditor editor(&host);
    host.clock = &editor.platform();
    editor.platform().setTime(0xFFFFFF00u);
    editor.platform().setClockStep(1);
    for (int i = 0; i < 400; ++i) {
        editor.throttledIdle();
    }
    ASSERT_GE(host.idleTimes.size(), 5u);
    for (std::size_t i = 1; i < host.idleTimes.size(); ++i) {
        std::uint32_t gap = host.idleTimes[i] - host.idleTimes[i - 1];
        EXPECT_GE(gap, 50u);
        EXPECT_LE(gap, 56u);
    }
}

TEST(ThrottledIdle, AHostThatIdlesTheEditorBackIsNotReentered) {
    RecordingHost host;
    CountingEditor editor(&host);
    host.reenter = &editor;
    editor.postUpdate();
    editor.throttledIdle();
    EXPECT_EQ(editor.updates, 1);
    // While the host idles, the editor's idle does nothing: a pending update
    // waits for the next real idle.
    struct PostingHost : RecordingHost {
        CountingEditor* editor = nullptr;
        void idle() override {
            editor->postUpdate();
            editor->idle();
        }
    } posting;
    CountingEditor second(&posting);
    posting.editor = &second;
    second.throttledIdle();
    EXPECT_EQ(second.updates, 0);
    EXPECT_TRUE(second.isUpdatePending());
    second.idle();
    EXPECT_EQ(second.updates, 1);
}

TEST(ThrottledIdle, PaintsWaitingForTheWindowAreHandled) {
    RecordingHost host;
    CountingEditor editor(&host, 40, 30);
    static int parent;
    editor.open(&parent); // the window's first paint waits in the queue
    auto* view = new ColourView(CRect(0, 0, 10, 10), kRedCColor);
    editor.getFrame()->addView(view);
    editor.throttledIdle();
    EXPECT_EQ(view->draws, 1);
    EXPECT_FALSE(editor.getFrame()->isFirstDraw());
}
