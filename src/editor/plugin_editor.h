#pragma once

// The effect's editor: a fixed 659 x 479 panel (the size of its background
// image) with 38 knob groups (label, knob, value display), five pop-up menus,
// three two-state buttons and the filter display, each bound to one parameter
// whose index is also the control's tag.
//
// Binding, both ways, without echo:
//   control -> effect: valueChanged calls the effect's setParameterAutomated,
//     which stores the value, comes back here through setParameter (moving
//     the control to the value the effect holds) and then tells the host;
//   effect -> control: every setParameter of the effect, from the host or a
//     program change, lands in setParameter below, which only records that
//     the parameter changed; the next idle moves its control to the value the
//     effect holds and draws it. Nothing there reports to the host, so a host
//     change is never sent back as automation.
// The filter display folds "Filter Type", "Cutoff" and "Resonance" into one
// control and always sends all three, in the order 19, 20, 18.
//
// Threads: open, close, idle, valueChanged and the controls' mouse handling
// run on the host's UI thread. setParameter and postUpdate may come from any
// thread that sets a parameter (host automation on the audio thread
// included), even while the UI thread closes the editor: they touch no view,
// only one atomic word of change marks and the update flag.

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>

#include "common/parameter_table.h"
#include "common/value_text.h"
#include "editor/editor_effect.h"
#include "gui/control.h"
#include "gui/gui_editor.h"
#include "gui/option_menu.h"
#include "gui/param_display.h"

class FilterDisplay;
class GuiBitmap;

// The three views of one knob group; null until the editor is opened, and
// for the indices without a group.
struct ControlGroup {
    CTextLabel* label = nullptr;
    CKnob* knob = nullptr;
    CParamDisplay* display = nullptr;
};

class PluginEditor : public GuiEditor, public CControlListener {
public:
    // Image resource ids.
    static constexpr std::int32_t kBackgroundId = 101;
    static constexpr std::int32_t kKnobFaceId = 4;
    static constexpr std::int32_t kKnobHandleId = 102;
    static constexpr std::int32_t kStereoButtonId = 104;
    static constexpr std::int32_t kPathButtonId = 105;
    static constexpr std::int32_t kGroupCount = param::kCount;

    // Colours of the controls (the alpha byte plays no part in drawing).
    static constexpr CColor kTextColour{228, 189, 31, 0};
    static constexpr CColor kBoxColour{22, 112, 150, 0};
    static constexpr CColor kSelectionColour{255, 255, 255, 0};
    static constexpr CColor kSelectedTextColour{48, 148, 189, 0};
    static constexpr std::int32_t kFont = kNormalFontSmall;
    static constexpr std::int32_t kSmallestLabelFont = 6;

    // The effect and the host must outlive the editor; the platform is owned.
    PluginEditor(EditorEffect* effect, GuiHost* host, std::unique_ptr<GuiPlatform> platform);
    ~PluginEditor() override;

    // [ui thread] Builds the frame and every control inside the host's window;
    // false (and no frame) when the window cannot be made.
    bool open(void* parentWindow) override;
    // [ui thread] Destroys the frame with every view in it.
    void close() override;
    // [any thread; never waits or allocates] Shows a parameter's new value at
    // the next idle.
    void setParameter(std::int32_t index, float value) override;
    // [ui thread] Moves the controls of the parameters that changed, then
    // handles events and draws.
    void idle() override;

    // [ui thread] A control moved: the change goes to the effect and the host.
    void valueChanged(CDrawContext* context, CControl* control) override;
    // Modifier clicks are never consumed: the controls handle them themselves.
    std::int32_t modifierClicked(CDrawContext* context, CControl* control, std::int32_t buttons) override;

    // What is open now (null while closed), for the composition root and tests.
    const ControlGroup& group(std::int32_t index) const;
    CControl* controlForTag(std::int32_t tag) const;
    const std::map<std::int32_t, CControl*>& getControlsByTag() const { return controlsByTag; }
    FilterDisplay* getFilterDisplay() const { return filterDisplay; }
    COptionMenu* getShapeMenu(std::int32_t lfo) const { return lfo == 1 ? lfo1Shape : lfo2Shape; }
    COptionMenu* getSyncMenu(std::int32_t which) const;

private:
    void addControls(CFrame* panel);
    void fitLabel(CFrame* panel, CTextLabel* label);
    void addControlGroup(CFrame* panel, CPoint anchor, std::int32_t tag);
    void addLfoRow(CFrame* panel, param::RouteSource lfo, std::int32_t top);
    void addRouteRow(CFrame* panel, param::RouteSource source, std::int32_t top);
    void addParameterMenu(CFrame* panel, COptionMenu*& slot, const CRect& rect, std::int32_t tag);
    void addButton(CFrame* panel, COnOffButton*& slot, const CRect& rect, GuiBitmap* bitmap,
                   std::int32_t tag);
    void addFilterDisplay(CFrame* panel);
    void forgetControls();
    // [ui thread] The changes recorded since the last idle reach their controls.
    void showChangedParameters();
    void showParameter(std::int32_t index);
    // The filter display's state from parameters 19, 20 and 18.
    void showFilterState();
    // The formatter of a knob's value box, as its sync menu stands now.
    formatters::Formatter formatterFor(std::int32_t tag);

    EditorEffect* effect;
    MenuScheme* menuScheme;
    ControlGroup groups[kGroupCount];
    COptionMenu* lfo1Shape = nullptr;
    COptionMenu* lfo2Shape = nullptr;
    COptionMenu* lfo1Sync = nullptr;
    COptionMenu* lfo2Sync = nullptr;
    COptionMenu* delaySync = nullptr;
    COnOffButton* pathButton = nullptr;
    COnOffButton* lfo1Stereo = nullptr;
    COnOffButton* lfo2Stereo = nullptr;
    FilterDisplay* filterDisplay = nullptr;
    std::map<std::int32_t, CControl*> controlsByTag;
    // One bit per parameter index, set by setParameter on any thread and taken
    // by the UI thread's idle.
    std::atomic<std::uint64_t> changedParameters{0};
    static_assert(kGroupCount <= 64, "one change mark per parameter in one word");
    GuiBitmap* background;
    // Loaded at each open, released once the controls hold them.
    GuiBitmap* knobFace = nullptr;
    GuiBitmap* knobHandle = nullptr;
    GuiBitmap* stereoBitmap = nullptr;
    GuiBitmap* pathBitmap = nullptr;
};
