#include "editor/plugin_editor.h"

#include <cmath>
#include <cstring>
#include <iterator>

#include "editor/filter_display.h"
#include "gui/gui_bitmap.h"
#include "gui/view.h"

namespace {

using formatters::Formatter;

// One knob group: the label's top-left corner is 6 pixels left of the
// anchor, the knob hangs 14 pixels below it, the display 2 below the knob.
struct GroupLayout {
    std::int32_t tag;
    const char* label;
    std::int32_t x;
    std::int32_t y;
    Formatter formatter; // null: the display's own "%2.2f"
};

constexpr std::int32_t kLabelLeft = -6;
constexpr std::int32_t kLabelRight = 44;
constexpr std::int32_t kLabelHeight = 12;
constexpr std::int32_t kKnobTop = 14;
constexpr std::int32_t kDisplayTop = 46;
constexpr std::int32_t kDisplayBottom = 58;

// Analysis, A section, S section, delay.
constexpr GroupLayout kUpperGroups[] = {
    {2, "Stages", 30, 30, formatters::formatCount},
    {1, "Block", 85, 30, formatters::formatMilliseconds},
    {3, "Smooth", 30, 100, nullptr},
    {4, "Warp", 170, 30, nullptr},
    {5, "Resonance", 225, 30, nullptr},
    {9, "Saturation", 170, 100, nullptr},
    {11, "BufRate", 225, 100, nullptr},
    {10, "Decimation", 170, 170, nullptr},
    {6, "Rotate", 225, 170, nullptr},
    {13, "Warp", 310, 30, nullptr},
    {15, "Resonance", 365, 30, nullptr},
    {14, "Rotate", 310, 100, nullptr},
    {16, "Delay", 450, 30, nullptr},
    {17, "Feedback", 505, 30, nullptr},
};
constexpr GroupLayout kOutputGroups[] = {
    {54, "Mix", 590, 30, nullptr},
    {53, "Out", 590, 100, nullptr},
};
// The modulation amounts of LFO 1, LFO 2 and the envelope follower; the LFO
// frequency knobs (27, 32) take their formatter from the sync menus.
constexpr GroupLayout kLfo1Groups[] = {
    {45, "A Warp", 270, 260, nullptr}, {43, "Dec", 325, 260, nullptr},   {44, "BufRate", 380, 260, nullptr},
    {41, "S Warp", 435, 260, nullptr}, {42, "S Res", 490, 260, nullptr}, {46, "Fb Cut", 545, 260, nullptr},
};
constexpr GroupLayout kLfo2Groups[] = {
    {51, "A Warp", 270, 330, nullptr}, {49, "Dec", 325, 330, nullptr},   {50, "BufRate", 380, 330, nullptr},
    {47, "S Warp", 435, 330, nullptr}, {48, "S Res", 490, 330, nullptr}, {52, "Fb Cut", 545, 330, nullptr},
};
constexpr GroupLayout kEnvelopeGroups[] = {
    {23, "Env. Att", 120, 400, formatters::formatTime},
    {24, "Env. Rel", 175, 400, formatters::formatTime},
    {39, "A Warp", 270, 400, nullptr},
    {37, "Dec", 325, 400, nullptr},
    {38, "BufRate", 380, 400, nullptr},
    {35, "S Warp", 435, 400, nullptr},
    {36, "S Res", 490, 400, nullptr},
    {40, "Fb Cut", 545, 400, nullptr},
};
const CPoint kLfo1FrequencyAnchor(175, 260);
const CPoint kLfo2FrequencyAnchor(175, 330);

constexpr const char* kShapeEntries[] = {"sine", "tri", "saw up", "saw dn", "square", "exp", "s & h", "rand"};
constexpr const char* kSyncEntries[] = {"off",  "4/1",   "1/1",   "1/2",    "1/4",   "1/8",   "1/16",  "1/32",
                                        "1/64", "1/4 T", "1/8 T", "1/16 T", "1/4 D", "1/8 D", "1/16 D"};
constexpr std::int32_t kShapeCount = static_cast<std::int32_t>(std::size(kShapeEntries));
constexpr std::int32_t kSyncCount = static_cast<std::int32_t>(std::size(kSyncEntries));
static_assert(kSyncCount == param::kSyncDivisionCount);

const CRect kDelaySyncRect(500, 202, 550, 214);
const CRect kLfo1ShapeRect(115, 275, 165, 287);
const CRect kLfo1SyncRect(115, 306, 165, 318);
const CRect kLfo2ShapeRect(115, 345, 165, 357);
const CRect kLfo2SyncRect(115, 376, 165, 388);
const CRect kPathButtonRect(500, 217, 550, 234);
const CRect kLfo1StereoRect(230, 281, 252, 295);
const CRect kLfo2StereoRect(230, 351, 252, 365);
const CRect kFilterDisplayRect(445, 100, 550, 200);

// A sync menu's stored value is its entry index: "off" is 0.
constexpr float kSyncOnThreshold = 0.5f;

// The filter type travels as type / 10 and comes back as the integer part of
// value * 10 + 0.5; values no int can hold give no type.
std::int32_t filterTypeOf(float stored) {
    const float scaled = stored * 10.0f + 0.5f;
    if (!(scaled > -1000.0f && scaled < 1000.0f)) {
        return -1;
    }
    return static_cast<std::int32_t>(scaled);
}

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

PluginEditor::PluginEditor(PluginEffect* effect_, GuiHost* host_, std::unique_ptr<GuiPlatform> platform_)
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

Formatter PluginEditor::lfoFrequencyFormatter(float syncValue) const {
    return syncValue < kSyncOnThreshold ? formatters::formatHertz : formatters::formatSyncRatio;
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
    // parameter change arriving meanwhile finds no frame and moves nothing.
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

    for (const GroupLayout& g : kUpperGroups) {
        addControlGroup(panel, groups[g.tag], CPoint(g.x, g.y), g.label, g.tag, g.formatter);
    }
    addFilterDisplay(panel);
    addParameterMenu(panel, delaySync, kDelaySyncRect, kSyncEntries, kSyncCount, param::kDelaySync);
    addButton(panel, pathButton, kPathButtonRect, pathBitmap, param::kCrossSwitch);
    for (const GroupLayout& g : kOutputGroups) {
        addControlGroup(panel, groups[g.tag], CPoint(g.x, g.y), g.label, g.tag, g.formatter);
    }

    addParameterMenu(panel, lfo1Shape, kLfo1ShapeRect, kShapeEntries, kShapeCount, param::kLfo1Shape);
    addParameterMenu(panel, lfo1Sync, kLfo1SyncRect, kSyncEntries, kSyncCount, param::kLfo1Sync);
    addControlGroup(panel, groups[param::kLfo1Freq], kLfo1FrequencyAnchor, "LFO Freq", param::kLfo1Freq,
                    lfoFrequencyFormatter(effect->getParameter(param::kLfo1Sync)));
    addButton(panel, lfo1Stereo, kLfo1StereoRect, stereoBitmap, param::kLfo1Stereo);
    for (const GroupLayout& g : kLfo1Groups) {
        addControlGroup(panel, groups[g.tag], CPoint(g.x, g.y), g.label, g.tag, g.formatter);
    }

    addParameterMenu(panel, lfo2Shape, kLfo2ShapeRect, kShapeEntries, kShapeCount, param::kLfo2Shape);
    addParameterMenu(panel, lfo2Sync, kLfo2SyncRect, kSyncEntries, kSyncCount, param::kLfo2Sync);
    addControlGroup(panel, groups[param::kLfo2Freq], kLfo2FrequencyAnchor, "LFO Freq", param::kLfo2Freq,
                    lfoFrequencyFormatter(effect->getParameter(param::kLfo2Sync)));
    addButton(panel, lfo2Stereo, kLfo2StereoRect, stereoBitmap, param::kLfo2Stereo);
    for (const GroupLayout& g : kLfo2Groups) {
        addControlGroup(panel, groups[g.tag], CPoint(g.x, g.y), g.label, g.tag, g.formatter);
    }

    for (const GroupLayout& g : kEnvelopeGroups) {
        addControlGroup(panel, groups[g.tag], CPoint(g.x, g.y), g.label, g.tag, g.formatter);
    }

    // The controls hold their own references now.
    for (GuiBitmap** bitmap : {&knobFace, &knobHandle, &stereoBitmap, &pathBitmap}) {
        (*bitmap)->release();
        *bitmap = nullptr;
    }
    frame = panel;
    return true;
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

void PluginEditor::addControlGroup(CFrame* panel, ControlGroup& slot, CPoint anchor, const char* labelText,
                                   std::int32_t tag, Formatter formatter) {
    const std::int32_t x = anchor.h;
    const std::int32_t y = anchor.v;

    auto* label = new CTextLabel(CRect(x + kLabelLeft, y, x + kLabelRight, y + kLabelHeight), labelText);
    styleBox(label);

    const CRect knobRect(x, y + kKnobTop, x + knobFace->getWidth(), y + kKnobTop + knobFace->getHeight());
    auto* knob = new CKnob(knobRect, this, tag, knobFace, knobHandle, CPoint(0, 0));
    knob->setValue(effect->getParameter(tag));
    knob->setInsetValue(8);
    controlsByTag[tag] = knob;

    auto* display =
        new CParamDisplay(CRect(x + kLabelLeft, y + kDisplayTop, x + kLabelRight, y + kDisplayBottom));
    styleBox(display);
    display->setValue(effect->getDisplayValue(tag));
    if (formatter != nullptr) {
        display->setStringConvert(formatter);
    }

    panel->addView(label);
    panel->addView(knob);
    panel->addView(display);
    slot.label = label;
    slot.knob = knob;
    slot.display = display;
}

void PluginEditor::addParameterMenu(CFrame* panel, COptionMenu*& slot, const CRect& menuRect,
                                    const char* const* entries, std::int32_t entryCount, std::int32_t tag) {
    auto* menu = new COptionMenu(menuRect, this, tag, nullptr, nullptr, 0);
    menu->setScheme(menuScheme);
    styleBox(menu);
    for (std::int32_t i = 0; i < entryCount; ++i) {
        menu->addEntry(entries[i], i);
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
                                  filterTypeOf(effect->getParameter(param::kFilterType)));
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
    if (index == param::kLfo1Sync || index == param::kLfo2Sync) {
        // The frequency display shows grid steps while its LFO is synced.
        if (CParamDisplay* display = groups[index + 1].display) {
            display->setStringConvert(lfoFrequencyFormatter(effect->getParameter(index)));
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
