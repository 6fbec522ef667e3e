// The panel as built: every control at its rectangle with its tag, the knob
// groups only where the layout has them, the drawing order, the rectangle the
// host reads before opening, and a reopened panel made afresh.

#include <set>

#include "editor_test_support.h"
#include "gui/view.h"

namespace {

struct GroupAt {
    std::int32_t tag;
    const char* label;
    std::int32_t x;
    std::int32_t y;
};

// The knob groups by anchor, as the panel's artwork expects them.
const GroupAt kGroups[] = {
    {2, "Stages", 30, 30},      {1, "Block", 85, 30},         {3, "Smooth", 30, 100},
    {4, "Warp", 170, 30},       {5, "Resonance", 225, 30},    {9, "Saturation", 170, 100},
    {11, "BufRate", 225, 100},  {10, "Decimation", 170, 170}, {6, "Rotate", 225, 170},
    {13, "Warp", 310, 30},      {15, "Resonance", 365, 30},   {14, "Rotate", 310, 100},
    {16, "Delay", 450, 30},     {17, "Feedback", 505, 30},    {54, "Mix", 590, 30},
    {53, "Out", 590, 100},      {27, "LFO Freq", 175, 260},   {45, "A Warp", 270, 260},
    {43, "Dec", 325, 260},      {44, "BufRate", 380, 260},    {41, "S Warp", 435, 260},
    {42, "S Res", 490, 260},    {46, "Fb Cut", 545, 260},     {32, "LFO Freq", 175, 330},
    {51, "A Warp", 270, 330},   {49, "Dec", 325, 330},        {50, "BufRate", 380, 330},
    {47, "S Warp", 435, 330},   {48, "S Res", 490, 330},      {52, "Fb Cut", 545, 330},
    {23, "Env. Att", 120, 400}, {24, "Env. Rel", 175, 400},   {39, "A Warp", 270, 400},
    {37, "Dec", 325, 400},      {38, "BufRate", 380, 400},    {35, "S Warp", 435, 400},
    {36, "S Res", 490, 400},    {40, "Fb Cut", 545, 400},
};

struct ControlAt {
    std::int32_t tag;
    CRect rect;
};
const ControlAt kMenus[] = {
    {21, CRect(500, 202, 550, 214)}, {25, CRect(115, 275, 165, 287)}, {26, CRect(115, 306, 165, 318)},
    {30, CRect(115, 345, 165, 357)}, {31, CRect(115, 376, 165, 388)},
};
const ControlAt kButtons[] = {
    {22, CRect(500, 217, 550, 234)},
    {29, CRect(230, 281, 252, 295)},
    {34, CRect(230, 351, 252, 365)},
};
const CRect kFilterRect(445, 100, 550, 200);

class Layout : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(rig.open()); }
    HeadlessRig rig;
};

} // namespace

TEST(LayoutClosed, TheHostReadsTheRectangleBeforeTheFirstOpen) {
    HeadlessRig rig;
    vst2::ERect* rect = nullptr;
    EXPECT_EQ(rig.effect->dispatcher(vst2::effEditGetRect, 0, 0, &rect, 0.0f), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->top, 0);
    EXPECT_EQ(rect->left, 0);
    EXPECT_EQ(rect->bottom, 479);
    EXPECT_EQ(rect->right, 659);
    EXPECT_EQ(rig.editor().getFrame(), nullptr);
    EXPECT_TRUE(rig.editor().getControlsByTag().empty());
    EXPECT_EQ(rig.effect->getAeffect()->flags, 0x31);
}

TEST_F(Layout, EveryKnobGroupSitsAtItsAnchor) {
    for (const GroupAt& g : kGroups) {
        SCOPED_TRACE(g.tag);
        const ControlGroup& group = rig.editor().group(g.tag);
        ASSERT_NE(group.label, nullptr);
        ASSERT_NE(group.knob, nullptr);
        ASSERT_NE(group.display, nullptr);
        EXPECT_EQ(group.label->getViewSize(), CRect(g.x - 6, g.y, g.x + 44, g.y + 12));
        EXPECT_STREQ(group.label->getText(), g.label);
        // 14 below the label's top, the knob image's 30 x 30; the display 2 below the knob.
        EXPECT_EQ(group.knob->getViewSize(), CRect(g.x, g.y + 14, g.x + 30, g.y + 44));
        EXPECT_EQ(group.display->getViewSize(), CRect(g.x - 6, g.y + 46, g.x + 44, g.y + 58));
        EXPECT_EQ(group.knob->getTag(), g.tag);
        EXPECT_EQ(group.knob->getListener(), &rig.editor());
        EXPECT_EQ(group.label->getListener(), nullptr);
        EXPECT_EQ(group.display->getListener(), nullptr);
        EXPECT_EQ(group.knob->getInsetValue(), 8);
        EXPECT_EQ(rig.editor().controlForTag(g.tag), group.knob);
    }
}

TEST_F(Layout, GroupsExistOnlyForTheThirtyEightIndices) {
    std::set<std::int32_t> withGroup;
    for (const GroupAt& g : kGroups) {
        withGroup.insert(g.tag);
    }
    ASSERT_EQ(withGroup.size(), 38u);
    for (std::int32_t i = -1; i <= param::kCount; ++i) {
        const ControlGroup& group = rig.editor().group(i);
        const bool expected = withGroup.count(i) != 0;
        EXPECT_EQ(group.knob != nullptr, expected) << i;
        EXPECT_EQ(group.label != nullptr, expected) << i;
        EXPECT_EQ(group.display != nullptr, expected) << i;
    }
}

TEST_F(Layout, MenusButtonsAndTheFilterDisplayAtTheirRectangles) {
    for (const ControlAt& m : kMenus) {
        CControl* control = rig.editor().controlForTag(m.tag);
        ASSERT_NE(control, nullptr) << m.tag;
        ASSERT_TRUE(control->isTypeOf("COptionMenu")) << m.tag;
        EXPECT_FALSE(control->isTypeOf("FilterDisplay")) << m.tag;
        EXPECT_EQ(control->getViewSize(), m.rect) << m.tag;
        EXPECT_EQ(control->getTag(), m.tag);
        const auto* menu = static_cast<COptionMenu*>(control);
        const bool shape = m.tag == 25 || m.tag == 30;
        EXPECT_EQ(menu->getNbEntries(), shape ? 8 : 15) << m.tag;
        EXPECT_EQ(menu->getDisplayText(shape ? 6 : 14), shape ? "s & h" : "1/16 D");
    }
    for (const ControlAt& b : kButtons) {
        CControl* control = rig.editor().controlForTag(b.tag);
        ASSERT_NE(control, nullptr) << b.tag;
        EXPECT_TRUE(control->isTypeOf("COnOffButton")) << b.tag;
        EXPECT_EQ(control->getViewSize(), b.rect) << b.tag;
        EXPECT_EQ(control->getTag(), b.tag);
    }
    FilterDisplay* display = rig.editor().getFilterDisplay();
    ASSERT_NE(display, nullptr);
    EXPECT_EQ(display->getViewSize(), kFilterRect);
    EXPECT_EQ(display->getTag(), 18); // the menu's tag while at rest
    for (std::int32_t tag : {18, 19, 20}) {
        EXPECT_EQ(rig.editor().controlForTag(tag), display) << tag;
    }
    for (std::int32_t i = 0; i < 8; ++i) {
        const char* names[] = {"Lowpass", "Highpass",  "Bandpass",   "Bandstop",
                               "Allpass", "Low Shelf", "High Shelf", "Peaking"};
        EXPECT_EQ(display->getDisplayText(i), names[i]);
    }
}

TEST_F(Layout, ParametersWithoutAControlHaveNoEntry) {
    const auto& byTag = rig.editor().getControlsByTag();
    EXPECT_EQ(byTag.size(), 49u);
    for (std::int32_t tag : {0, 7, 8, 12, 28, 33, 55}) {
        EXPECT_EQ(byTag.count(tag), 0u) << tag;
    }
}

// Later views are drawn over earlier ones: the order of the build is the
// drawing order.
TEST_F(Layout, ViewsAreAddedInTheBuildOrder) {
    CFrame* frame = rig.editor().getFrame();
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->getNbViews(), 38 * 3 + 5 + 3 + 1);
    std::vector<std::int32_t> controls;
    for (std::int32_t i = 0; i < frame->getNbViews(); ++i) {
        CView* view = frame->getView(i);
        if (view->isTypeOf("CKnob") || view->isTypeOf("COnOffButton") || view->isTypeOf("COptionMenu")) {
            controls.push_back(static_cast<CControl*>(view)->getTag());
        }
        if (view->isTypeOf("CKnob")) {
            // label, knob, display of one group stand together
            EXPECT_TRUE(frame->getView(i - 1)->isTypeOf("CTextLabel"));
            EXPECT_FALSE(frame->getView(i + 1)->isTypeOf("CTextLabel"));
            EXPECT_TRUE(frame->getView(i + 1)->isTypeOf("CParamDisplay"));
        }
    }
    const std::vector<std::int32_t> expected = {
        2,  1,  3,  4,  5,  9,  11, 10, 6,  13, 15, 14, 16, 17, 18, 21, 22, 54, 53, 25, 26, 27, 29, 45,
        43, 44, 41, 42, 46, 30, 31, 32, 34, 51, 49, 50, 47, 48, 52, 23, 24, 39, 37, 38, 35, 36, 40};
    EXPECT_EQ(controls, expected);
}

TEST_F(Layout, ControlsStartAtTheEffectsValues) {
    PluginEditor& editor = rig.editor();
    EXPECT_FLOAT_EQ(editor.group(54).knob->getValue(), rig.effect->getParameter(54));
    // The factory program: 7 stages, a 250.3 ms block, LFO 1 at 0.05 Hz, no envelope times.
    EXPECT_EQ(HeadlessRig::shownText(editor.group(2).display), "7");
    EXPECT_EQ(HeadlessRig::shownText(editor.group(1).display), "250.3 ms");
    EXPECT_EQ(HeadlessRig::shownText(editor.group(27).display), "0.05 Hz");
    EXPECT_EQ(HeadlessRig::shownText(editor.group(23).display), "0.00 ms");
    EXPECT_EQ(HeadlessRig::shownText(editor.group(45).display), "0.00"); // a route at the middle
    EXPECT_EQ(editor.getShapeMenu(1)->getCurrentIndex(), 0);
    float cutoff = 0.0f;
    float resonance = 0.0f;
    std::int32_t type = -1;
    editor.getFilterDisplay()->getFilterState(cutoff, resonance, type);
    EXPECT_FLOAT_EQ(cutoff, 0.1f);
    EXPECT_FLOAT_EQ(resonance, 1.0f);
    EXPECT_EQ(type, 0);
}

TEST(LayoutOpen, ASyncedLfoShowsGridStepsFromTheStart) {
    HeadlessRig rig;
    rig.effect->setParameter(31, 4.0f); // LFO 2 at "1/4"
    rig.effect->setParameter(32, 0.5f); // 5 Hz
    ASSERT_TRUE(rig.open());
    const std::string shown = HeadlessRig::shownText(rig.editor().group(32).display);
    EXPECT_EQ(shown.find("Hz"), std::string::npos) << shown;
    EXPECT_EQ(shown, std::to_string(static_cast<int>(rig.effect->getDisplayValue(32))));
    EXPECT_EQ(HeadlessRig::shownText(rig.editor().group(27).display), "0.05 Hz"); // LFO 1 stays free
}

TEST(LayoutOpen, EveryPixelOfThePanelIsDrawnOnTheFirstPaint) {
    HeadlessRig rig;
    ASSERT_TRUE(rig.open());
    const std::uint32_t unpainted = rgbOf(HeadlessWindow::kUnpaintedColour);
    for (std::int32_t y = 0; y < 479; y += 3) {
        for (std::int32_t x = 0; x < 659; x += 3) {
            ASSERT_NE(rig.pixel(x, y), unpainted) << x << "," << y;
        }
    }
    // A label's teal box with gold text, and the filter display's teal field.
    EXPECT_EQ(rig.pixel(30 - 5, 31), rgbOf(PluginEditor::kBoxColour));
    EXPECT_EQ(rig.pixel(447, 195), rgbOf(PluginEditor::kBoxColour));
}

TEST(LayoutOpen, ReopeningBuildsAFreshPanelWithoutDuplicates) {
    HeadlessRig rig;
    ASSERT_TRUE(rig.open());
    const std::int64_t openObjects = CBaseObject::liveObjects();
    for (int round = 0; round < 5; ++round) {
        rig.effect->dispatcher(vst2::effEditClose, 0, 0, nullptr, 0.0f);
        EXPECT_EQ(rig.editor().getFrame(), nullptr);
        EXPECT_EQ(rig.editor().group(5).knob, nullptr);
        EXPECT_TRUE(rig.editor().getControlsByTag().empty());
        rig.hostSets(5, 0.25f); // while closed: only the effect changes
        ASSERT_TRUE(rig.open());
        EXPECT_EQ(rig.editor().getControlsByTag().size(), 49u);
        EXPECT_EQ(rig.editor().getFrame()->getNbViews(), 123);
        EXPECT_FLOAT_EQ(rig.editor().group(5).knob->getValue(), 0.25f);
        EXPECT_EQ(CBaseObject::liveObjects(), openObjects);
    }
    EXPECT_NE(rig.editor().group(5).knob, nullptr);
    rig.effect->dispatcher(vst2::effEditClose, 0, 0, nullptr, 0.0f);
    // Closed, the editor keeps only its background and menu scheme.
    EXPECT_LT(CBaseObject::liveObjects(), openObjects);
}

TEST(LayoutOpen, OpeningWithoutAParentWindowFails) {
    HeadlessRig rig;
    EXPECT_EQ(rig.effect->dispatcher(vst2::effEditOpen, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(rig.editor().getFrame(), nullptr);
    rig.hostSets(5, 0.3f); // nothing to move
    rig.effect->dispatcher(vst2::effEditIdle, 0, 0, nullptr, 0.0f);
    EXPECT_FLOAT_EQ(rig.effect->getParameter(5), 0.3f);
}

namespace {
int allClosedCalls = 0;
void countAllClosed() {
    ++allClosedCalls;
}
} // namespace

// The backend may let go of its drawing caches once no editor of the module
// is open any more, and only then.
TEST(LayoutOpen, TheLastEditorToCloseTellsTheBackend) {
    FakeHost::reset();
    auto first = std::make_unique<PluginEffect>(&FakeHost::callback);
    auto second = std::make_unique<PluginEffect>(&FakeHost::callback);
    EditorBridge a(*first, std::make_unique<HeadlessPlatform>(), countAllClosed);
    auto b = std::make_unique<EditorBridge>(*second, std::make_unique<HeadlessPlatform>(), countAllClosed);
    static int parentWindow;
    allClosedCalls = 0;
    const int before = EditorBridge::openEditors();
    ASSERT_TRUE(a.open(&parentWindow, nullptr));
    ASSERT_TRUE(a.open(&parentWindow, nullptr)); // opened twice, counted once
    ASSERT_TRUE(b->open(&parentWindow, nullptr));
    EXPECT_EQ(EditorBridge::openEditors(), before + 2);
    a.close();
    a.close();
    EXPECT_EQ(allClosedCalls, 0);
    EXPECT_FALSE(a.open(nullptr, nullptr)); // a failed open counts as closed
    b.reset();                              // destroyed while open
    EXPECT_EQ(EditorBridge::openEditors(), before);
    EXPECT_EQ(allClosedCalls, before == 0 ? 1 : 0);
}
