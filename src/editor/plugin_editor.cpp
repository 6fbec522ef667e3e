#include "editor/plugin_editor.h"

#include <cmath>
#include <cstring>
#include <iterator>

#include "editor/filter_display.h"
#include "gui/gui_bitmap.h"
#include "gui/view.h"

namespace {

// One knob group: the label's top-left corner is 6 pixels left of the
// anchor, the knob hangs 14 pixels below it, the display 2 below the knob.
// Labels, lists and value formats come from the parameter table.
struct GroupLayout {
    std::int32_t tag;
    std::int32_t x;
    std::int32_t y;
};

constexpr std::int32_t kLabelLeft = -6;
constexpr std::int32_t kLabelRight = 44;
constexpr std::int32_t kLabelHeight = 12;
constexpr std::int32_t kKnobTop = 14;
constexpr std::int32_t kDisplayTop = 46;
constexpr std::int32_t kDisplayBottom = 58;

// Analysis, A section, S section, delay.
constexpr GroupLayout kUpperGroups[] = {
    {param::kStages, 30, 30},       {param::kBlockSize, 85, 30},    {param::kSmoothing, 30, 100},
    {param::kAWarp, 170, 30},       {param::kARes, 225, 30},        {param::kSaturation, 170, 100},
    {param::kBufferRate, 225, 100}, {param::kDecimation, 170, 170}, {param::kARotate, 225, 170},
    {param::kSWarp, 310, 30},       {param::kSRes, 365, 30},        {param::kSRotate, 310, 100},
    {param::kDelay, 450, 30},       {param::kFeedback, 505, 30},
};
constexpr GroupLayout kOutputGroups[] = {{param::kMix, 590, 30}, {param::kOut, 590, 100}};
// The modulation amounts of LFO 1, LFO 2 and the envelope follower, each row in
// the order A warp, decimation, buffer rate, S warp, S resonance, feedback cutoff.
constexpr param::RouteTarget kRowTargets[] = {param::kTargetAWarp,      param::kTargetDecimation,
                                              param::kTargetBufferRate, param::kTargetSWarp,
                                              param::kTargetSRes,       param::kTargetCutoff};
constexpr std::int32_t kRowLeft = 270;
constexpr std::int32_t kRowStep = 55;
constexpr std::int32_t kLfo1RowTop = 260;
constexpr std::int32_t kLfo2RowTop = 330;
constexpr std::int32_t kEnvelopeRowTop = 400;
constexpr GroupLayout kEnvelopeTimes[] = {{param::kEnvAttack, 120, kEnvelopeRowTop},
                                          {param::kEnvRelease, 175, kEnvelopeRowTop}};
const CPoint kLfo1FrequencyAnchor(175, kLfo1RowTop);
const CPoint kLfo2FrequencyAnchor(175, kLfo2RowTop);

const CRect kDelaySyncRect(500, 202, 550, 214);
const CRect kLfo1ShapeRect(115, 275, 165, 287);
const CRect kLfo1SyncRect(115, 306, 165, 318);
const CRect kLfo2ShapeRect(115, 345, 165, 357);
const CRect kLfo2SyncRect(115, 376, 165, 388);
const CRect kPathButtonRect(500, 217, 550, 234);
const CRect kLfo1StereoRect(230, 281, 252, 295);
const CRect kLfo2StereoRect(230, 351, 252, 365);
const CRect kFilterDisplayRect(445, 100, 550, 200);

// The editor's menu look. Items get a little room after their text: the
// longest entries ("High Shelf", "1/16 D") would otherwise touch the pop-up's
// edge and lose their last pixels.
class EditorMenuScheme final : public MenuScheme {
public:
    CPoint getItemSize(const char* text, CDrawContext* context) override {
        CPoint itemSize = MenuScheme::getItemSize(text, context);
        if (text != nullptr && std::strcmp(text, "-") != 0) {
            itemSize.h += kTextEndRoom;
        }
        return itemSize;
    }

private:
    static constexpr std::int32_t kTextEndRoom = 8;
};

template <typename View> void styleBox(View* view) {
    view->setFont(PluginEditor::kFont);
    view->setFontColor(PluginEditor::kTextColour);
    view->setBackColor(PluginEditor::kBoxColour);
    view->setFrameColor(PluginEditor::kBoxColour);
}

} // namespace

PluginEditor::PluginEditor(EditorEffect* effect_, GuiHost* host_, std::unique_ptr<GuiPlatform> platform_)
    : GuiEditor(host_, std::move(platform_)), effect(effect_), menuScheme(new EditorMenuScheme()),
      background(new GuiBitmap(kBackgroundId)) {
    rect.top = 0;
    rect.left = 0;
    rect.bottom = static_cast<std::int16_t>(background->getHeight());
    rect.right = static_cast<std::int16_t>(background->getWidth());
}

PluginEditor::~PluginEditor() {
    close();
    controlsByTag.clear();
    background->release();
    menuScheme->release();
}

const ControlGroup& PluginEditor::group(std::int32_t index) const {
    static const ControlGroup none;
    return index >= 0 && index < kGroupCount ? groups[index] : none;
}

CControl* PluginEditor::controlForTag(std::int32_t tag) const {
    auto it = controlsByTag.find(tag);
    return it != controlsByTag.end() ? it->second : nullptr;
}

COptionMenu* PluginEditor::getSyncMenu(std::int32_t which) const {
    switch (which) {
    case 1:
        return lfo1Sync;
    case 2:
        return lfo2Sync;
    default:
        return delaySync;
    }
}

// A label wider than its box at the editor's font gets the largest size at
// which it fits; every other label keeps the font's own.
void PluginEditor::fitLabel(CFrame* panel, CTextLabel* label) {
    CDrawContext* context = panel->createWindowContext();
    // A pixel clear at either end: antialiased glyph edges reach past the advance width.
    const std::int32_t room = label->getViewSize().width() - 2;
    const std::int32_t natural = fontTableEntry(kFont).height;
    for (std::int32_t size = natural; size > kSmallestLabelFont; --size) {
        context->setFont(kFont, size);
        if (context->getStringWidth(label->getText()) <= room) {
            label->setFontSize(size == natural ? 0 : size);
            break;
        }
        label->setFontSize(size - 1);
    }
    context->release();
}

formatters::Formatter PluginEditor::formatterFor(std::int32_t tag) {
    const int sync = param::syncIndexOf(tag);
    return param::knobFormatter(tag, sync >= 0 ? effect->getParameter(sync) : 0.0f);
}

bool PluginEditor::open(void* parentWindow_) {
    if (frame != nullptr) {
        close(); // a host that opens twice gets one fresh panel
    }
    GuiEditor::open(parentWindow_);

    menuScheme->setBackgroundColor(kBoxColour);
    menuScheme->setSelectionColor(kSelectionColour);
    menuScheme->setTextColor(kTextColour);
    menuScheme->setSelectedTextColor(kSelectedTextColour);
    menuScheme->setDisabledTextColor(kTextColour);
    menuScheme->setFont(kFont);

    // The panel is built complete before the editor shows it as open: a
    // parameter change arriving meanwhile is shown at the first idle.
    auto* panel =
        new CFrame(CRect(0, 0, background->getWidth(), background->getHeight()), parentWindow_, this);
    if (!panel->isOpen()) {
        panel->release();
        return false;
    }
    panel->setBackground(background);

    knobFace = new GuiBitmap(kKnobFaceId);
    knobHandle = new GuiBitmap(kKnobHandleId);
    stereoBitmap = new GuiBitmap(kStereoButtonId);
    pathBitmap = new GuiBitmap(kPathButtonId);
    addControls(panel);
    // The controls hold their own references now.
    for (GuiBitmap** bitmap : {&knobFace, &knobHandle, &stereoBitmap, &pathBitmap}) {
        (*bitmap)->release();
        *bitmap = nullptr;
    }
    frame = panel;
    return true;
}

// Every control, in drawing order.
void PluginEditor::addControls(CFrame* panel) {
    for (const GroupLayout& g : kUpperGroups) {
        addControlGroup(panel, CPoint(g.x, g.y), g.tag);
    }
    addFilterDisplay(panel);
    addParameterMenu(panel, delaySync, kDelaySyncRect, param::kDelaySync);
    addButton(panel, pathButton, kPathButtonRect, pathBitmap, param::kCrossSwitch);
    for (const GroupLayout& g : kOutputGroups) {
        addControlGroup(panel, CPoint(g.x, g.y), g.tag);
    }
    addLfoRow(panel, param::kSourceLfo1, kLfo1RowTop);
    addLfoRow(panel, param::kSourceLfo2, kLfo2RowTop);
    for (const GroupLayout& g : kEnvelopeTimes) {
        addControlGroup(panel, CPoint(g.x, g.y), g.tag);
    }
    addRouteRow(panel, param::kSourceEnvelope, kEnvelopeRowTop);
}

// An LFO's shape and sync menus, its frequency, its stereo button and its routes.
void PluginEditor::addLfoRow(CFrame* panel, param::RouteSource lfo, std::int32_t top) {
    const bool first = lfo == param::kSourceLfo1;
    addParameterMenu(panel, first ? lfo1Shape : lfo2Shape, first ? kLfo1ShapeRect : kLfo2ShapeRect,
                     first ? param::kLfo1Shape : param::kLfo2Shape);
    addParameterMenu(panel, first ? lfo1Sync : lfo2Sync, first ? kLfo1SyncRect : kLfo2SyncRect,
                     first ? param::kLfo1Sync : param::kLfo2Sync);
    addControlGroup(panel, first ? kLfo1FrequencyAnchor : kLfo2FrequencyAnchor,
                    first ? param::kLfo1Freq : param::kLfo2Freq);
    addButton(panel, first ? lfo1Stereo : lfo2Stereo, first ? kLfo1StereoRect : kLfo2StereoRect, stereoBitmap,
              first ? param::kLfo1Stereo : param::kLfo2Stereo);
    addRouteRow(panel, lfo, top);
}

void PluginEditor::addRouteRow(CFrame* panel, param::RouteSource source, std::int32_t top) {
    std::int32_t x = kRowLeft;
    for (param::RouteTarget target : kRowTargets) {
        addControlGroup(panel, CPoint(x, top), param::routeIndex(source, target));
        x += kRowStep;
    }
}

void PluginEditor::close() {
    deleteFrame();
    forgetControls();
}

void PluginEditor::forgetControls() {
    for (ControlGroup& g : groups) {
        g = ControlGroup{};
    }
    lfo1Shape = lfo2Shape = lfo1Sync = lfo2Sync = delaySync = nullptr;
    pathButton = lfo1Stereo = lfo2Stereo = nullptr;
    filterDisplay = nullptr;
    controlsByTag.clear();
}

void PluginEditor::addControlGroup(CFrame* panel, CPoint anchor, std::int32_t tag) {
    const std::int32_t x = anchor.h;
    const std::int32_t y = anchor.v;

    auto* label = new CTextLabel(CRect(x + kLabelLeft, y, x + kLabelRight, y + kLabelHeight),
                                 param::kParameters[static_cast<std::size_t>(tag)].label);
    styleBox(label);
    fitLabel(panel, label);

    const CRect knobRect(x, y + kKnobTop, x + knobFace->getWidth(), y + kKnobTop + knobFace->getHeight());
    auto* knob = new CKnob(knobRect, this, tag, knobFace, knobHandle, CPoint(0, 0));
    knob->setValue(effect->getParameter(tag));
    knob->setInsetValue(8);
    controlsByTag[tag] = knob;

    auto* display =
        new CParamDisplay(CRect(x + kLabelLeft, y + kDisplayTop, x + kLabelRight, y + kDisplayBottom));
    styleBox(display);
    display->setValue(effect->getDisplayValue(tag));
    display->setStringConvert(formatterFor(tag));

    panel->addView(label);
    panel->addView(knob);
    panel->addView(display);
    ControlGroup& slot = groups[tag];
    slot.label = label;
    slot.knob = knob;
    slot.display = display;
}

void PluginEditor::addParameterMenu(CFrame* panel, COptionMenu*& slot, const CRect& menuRect,
                                    std::int32_t tag) {
    // The current entry carries a check mark when the menu pops up.
    auto* menu = new COptionMenu(menuRect, this, tag, nullptr, nullptr, kCheckCurrentStyle);
    menu->setScheme(menuScheme);
    styleBox(menu);
    for (std::int32_t i = 0; i < param::listSize(tag); ++i) {
        menu->addEntry(param::listEntry(tag, i), i);
    }
    controlsByTag[tag] = menu;
    menu->setValue(effect->getParameter(tag));
    panel->addView(menu);
    slot = menu;
}

void PluginEditor::addButton(CFrame* panel, COnOffButton*& slot, const CRect& buttonRect, GuiBitmap* bitmap,
                             std::int32_t tag) {
    auto* button = new COnOffButton(buttonRect, this, tag, bitmap, 0);
    controlsByTag[tag] = button;
    button->setValue(effect->getParameter(tag));
    panel->addView(button);
    slot = button;
}

void PluginEditor::addFilterDisplay(CFrame* panel) {
    filterDisplay = new FilterDisplay(kFilterDisplayRect, this, param::kCutoff, param::kFilterType, panel,
                                      kBoxColour, kBoxColour, kTextColour);
    filterDisplay->setScheme(menuScheme);
    controlsByTag[param::kCutoff] = filterDisplay;
    controlsByTag[param::kResonance] = filterDisplay;
    controlsByTag[param::kFilterType] = filterDisplay;
    showFilterState();
    panel->addView(filterDisplay);
}

void PluginEditor::showFilterState() {
    filterDisplay->setFilterState(effect->getParameter(param::kCutoff),
                                  effect->getParameter(param::kResonance),
                                  param::filterTypeOfStored(effect->getParameter(param::kFilterType)));
}

void PluginEditor::setParameter(std::int32_t index, float /*value*/) {
    if (index >= 0 && index < kGroupCount) {
        changedParameters.fetch_or(std::uint64_t{1} << index, std::memory_order_release);
    }
}

void PluginEditor::idle() {
    showChangedParameters();
    GuiEditor::idle();
}

void PluginEditor::showChangedParameters() {
    std::uint64_t changed = changedParameters.exchange(0, std::memory_order_acquire);
    if (frame == nullptr) {
        return; // opening shows every value as it is then
    }
    for (std::int32_t index = 0; changed != 0; ++index, changed >>= 1) {
        if ((changed & 1u) != 0) {
            showParameter(index);
        }
    }
}

void PluginEditor::showParameter(std::int32_t index) {
    if (CControl* control = controlForTag(index)) {
        if (index == param::kFilterType || index == param::kCutoff || index == param::kResonance) {
            showFilterState();
        } else {
            control->setValue(effect->getParameter(index));
        }
        control->setDirty();
    }
    // A synced time or rate shows grid steps, a free one seconds or Hz: a sync
    // menu's change changes what its knob's box shows, number and format.
    for (std::int32_t dependent : {param::kDelay, param::kLfo1Freq, param::kLfo2Freq}) {
        CParamDisplay* display = groups[dependent].display;
        if (param::syncIndexOf(dependent) == index && display != nullptr) {
            display->setStringConvert(formatterFor(dependent));
            display->setValue(effect->getDisplayValue(dependent));
            display->setDirty();
        }
    }
    const ControlGroup& g = groups[index];
    if (g.knob != nullptr && g.display != nullptr) {
        g.display->setValue(effect->getDisplayValue(index));
        g.display->setDirty();
    }
}

void PluginEditor::valueChanged(CDrawContext* /*context*/, CControl* control) {
    const float v = control->getValue();
    const std::int32_t tag = control->getTag();
    if (filterDisplay != nullptr && (tag == param::kCutoff || tag == param::kFilterType)) {
        float cutoff = 0.0f;
        float resonance = 0.0f;
        std::int32_t type = 0;
        filterDisplay->getFilterState(cutoff, resonance, type);
        effect->setParameterAutomated(param::kCutoff, cutoff);
        effect->setParameterAutomated(param::kResonance, resonance);
        effect->setParameterAutomated(
            param::kFilterType, static_cast<float>(static_cast<double>(static_cast<float>(type)) * 0.1));
    } else {
        effect->setParameterAutomated(tag, v);
    }
    // Every change is drawn at the next idle. A change made by a key used to
    // count as drawn, but no key handler here draws the control itself, so the
    // knob's handle stayed where it was while its value box moved.
    control->setDirty(true);
}

std::int32_t PluginEditor::modifierClicked(CDrawContext* /*context*/, CControl* /*control*/,
                                           std::int32_t /*buttons*/) {
    return 0;
}
