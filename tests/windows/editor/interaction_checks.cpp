// What a user does in the editor, and what the effect holds afterwards.

#include <algorithm>
#include <cmath>

#include "checks.h"
#include "common/parameter_table.h"
#include "editor_layout.h"
#include "editor_session.h"
#include "user_input.h"

namespace {

// Where the checks press in the filter display, in the editor's pixels.
constexpr POINT kFilterPress{470, 170};
constexpr POINT kFilterRelease{520, 125};
constexpr POINT kFilterMenuClick{490, 150};

bool within(double a, double b, double tolerance) {
    return std::fabs(a - b) <= tolerance;
}

// The parameter once it differs from `before` (or after a second).
float changedValue(HostedEffect& effect, int index, float before) {
    waitFor([&] { return effect.get(index) != before; }, 1000);
    return effect.get(index);
}

void checkWindow(EditorSession& session, const PluginModule& module, Report& report) {
    HWND child = session.editorWindow();
    if (!report.check(child != nullptr, "effEditOpen makes a window inside the host's window")) {
        return;
    }
    const std::wstring name = windowClassOf(child);
    WNDCLASSEXW info{};
    info.cbSize = sizeof info;
    report.check(name.rfind(L"Plugin", 0) == 0, "its class is named Plugin<module> (" + narrow(name) + ")");
    report.check(GetClassInfoExW(module.handle(), name.c_str(), &info) != 0,
                 "the class is registered with the module's own instance handle");
    const auto style = static_cast<DWORD>(GetWindowLongW(child, GWL_STYLE));
    report.check((style & WS_CHILD) != 0 && IsWindowVisible(child), "the window is a visible child window");
    RECT client{};
    GetClientRect(child, &client);
    report.check(client.right == layout::kWidth && client.bottom == layout::kHeight &&
                     session.width() == layout::kWidth && session.height() == layout::kHeight,
                 format("it is as large as effEditGetRect says (%ld x %ld)", client.right, client.bottom));
}

// Linear knob mode (the host's effSetEditKnobMode 2): a pixel up adds a
// 200th of the range.
void checkKnobDrag(HostUi& ui, EditorSession& session, Report& report) {
    HostedEffect& effect = session.hosted();
    ui.call([&] { effect.dispatch(vst2::effSetEditKnobMode, 0, 2); });
    const POINT centre = toScreen(session.editorWindow(), layout::knobCentre(layout::kAWarpAnchor));
    const float before = effect.get(param::kAWarp);
    const int down = before > 0.5f ? 40 : -40; // a drag down lowers it
    const int begins = hostCounters().gestureBegins;
    dragPointer(centre, POINT{centre.x, centre.y + down});
    const double expected = std::clamp(before - down / 200.0, 0.0, 1.0);
    const float after = effect.get(param::kAWarp);
    report.check(within(after, expected, 0.006),
                 format("a drag of %d pixels on the A Warp knob takes it from %.4f to %.4f (expected %.4f)",
                        -down, before, after, expected));
    report.check(hostCounters().gestureBegins == begins + 1 &&
                     hostCounters().gestureEnds == hostCounters().gestureBegins,
                 "the drag is one gesture for the host (begin and end edit)");
    ui.call([&] { effect.dispatch(vst2::effSetEditKnobMode, 0, 0); });
}

void checkFilterDrag(EditorSession& session, Report& report) {
    HostedEffect& effect = session.hosted();
    HWND child = session.editorWindow();
    const float type = effect.get(param::kFilterType);
    dragPointer(toScreen(child, kFilterPress), toScreen(child, kFilterRelease));
    const double cutoff = layout::cutoffAcross(layout::acrossFilterDisplay(kFilterRelease));
    const double resonance = layout::upFilterDisplay(kFilterRelease);
    report.check(within(effect.get(param::kCutoff), cutoff, cutoff * 1e-3),
                 format("a drag in the filter display sets the cutoff to %.5f (expected %.5f)",
                        effect.get(param::kCutoff), cutoff));
    report.check(
        within(effect.get(param::kResonance), resonance, 1e-4),
        format("and the resonance to %.4f (expected %.4f)", effect.get(param::kResonance), resonance));
    report.check(effect.get(param::kFilterType) == type, "and leaves the filter type");
}

// Shift makes every gesture fine. In a click's own message (a press in the
// filter display goes a tenth of the way from the state to the pointer) and
// held while the wheel turns (a tenth of a notch's step).
void checkShift(EditorSession& session, Report& report) {
    HostedEffect& effect = session.hosted();
    HWND child = session.editorWindow();
    const double across = layout::acrossOfCutoff(effect.get(param::kCutoff));
    const double up = effect.get(param::kResonance);
    const POINT press{460, 180};
    postClick(child, WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, press);
    changedValue(effect, param::kResonance, static_cast<float>(up));
    const double cutoff = layout::cutoffAcross(across + (layout::acrossFilterDisplay(press) - across) / 10.0);
    const double resonance = up + (layout::upFilterDisplay(press) - up) / 10.0;
    report.check(
        within(effect.get(param::kCutoff), cutoff, cutoff * 1e-3) &&
            within(effect.get(param::kResonance), resonance, 1e-4),
        format("a Shift click in the filter display goes a tenth of the way: cutoff %.5f, resonance %.4f "
               "(expected %.5f, %.4f)",
               effect.get(param::kCutoff), effect.get(param::kResonance), cutoff, resonance));
    const float before = effect.get(param::kMix);
    pressKey(VK_SHIFT, true);
    Sleep(100); // Wine answers a thread's key queries from a copy up to 50 ms old
    postWheel(child, WHEEL_DELTA, layout::knobCentre(layout::kMixAnchor));
    const float turned = changedValue(effect, param::kMix, before);
    pressKey(VK_SHIFT, false);
    report.check(within(turned, before + 0.01, 1e-5),
                 format("a wheel notch with Shift held takes Mix from %.4f to %.4f (expected %.4f)", before,
                        turned, before + 0.01));
}

// Every pixel of the item's second row has the highlight colour.
bool isHighlighted(const Image& picture, int top) {
    const int y = top + 1;
    if (picture.isEmpty() || y >= picture.height) {
        return false;
    }
    int white = 0;
    for (int x = 4; x < picture.width - 4; ++x) {
        white += picture.at(x, y) == 0xFFFFFFu ? 1 : 0;
    }
    return white == picture.width - 8;
}

HWND openTypeMenu(EditorSession& session) {
    HWND child = session.editorWindow();
    const std::wstring name = windowClassOf(child);
    postClick(child, WM_RBUTTONDOWN, MK_RBUTTON, kFilterMenuClick);
    HWND popup = nullptr;
    waitFor([&] { return (popup = findPopup(session.window(), name.c_str())) != nullptr; }, 2000);
    Sleep(50);
    return popup;
}

bool waitForClosed(EditorSession& session, HWND popup) {
    const std::wstring name = windowClassOf(session.editorWindow());
    return waitFor([&] { return !IsWindow(popup) && findPopup(session.window(), name.c_str()) == nullptr; },
                   2000);
}

void checkTypeMenu(HostUi& ui, EditorSession& session, Report& report) {
    HostedEffect& effect = session.hosted();
    const float type = effect.get(param::kFilterType);
    const float cutoff = effect.get(param::kCutoff);
    const float resonance = effect.get(param::kResonance);
    HWND popup = openTypeMenu(session);
    if (!report.check(popup != nullptr,
                      "a right click on the filter display opens a pop-up of the module's class")) {
        return;
    }
    RECT frame{};
    GetWindowRect(popup, &frame);
    const int itemHeight = (frame.bottom - frame.top - 4) / layout::kFilterTypes;
    report.check((frame.bottom - frame.top - 4) % layout::kFilterTypes == 0,
                 format("it holds the %d filter types, %d pixels each", layout::kFilterTypes, itemHeight));
    const auto itemTop = [&](int item) { return 2 + item * itemHeight; };
    movePointer(POINT{(frame.left + frame.right) / 2, frame.top + itemTop(1) + itemHeight / 2});
    Sleep(150);
    Image picture;
    ui.call([&] { picture = captureWindow(popup); });
    report.check(isHighlighted(picture, itemTop(1)) && !isHighlighted(picture, itemTop(0)) &&
                     !isHighlighted(picture, itemTop(2)),
                 "the item under the pointer (Highpass) is highlighted, and only it");
    pressButton(VK_LBUTTON, true);
    pressButton(VK_LBUTTON, false);
    report.check(waitForClosed(session, popup), "a click on the item closes the pop-up");
    report.check(
        within(changedValue(effect, param::kFilterType, type), 0.1, 1e-6),
        format("Highpass is chosen: Filter Type is %.4f (expected 0.1)", effect.get(param::kFilterType)));
    report.check(effect.get(param::kCutoff) == cutoff && effect.get(param::kResonance) == resonance,
                 "the cutoff and the resonance stay as they were");
}

void checkMenuDismissal(EditorSession& session, Report& report) {
    HostedEffect& effect = session.hosted();
    const float type = effect.get(param::kFilterType);
    const float stages = effect.get(param::kStages);
    HWND popup = openTypeMenu(session);
    pressKey(VK_ESCAPE, true);
    pressKey(VK_ESCAPE, false);
    report.check(popup != nullptr && waitForClosed(session, popup) && effect.get(param::kFilterType) == type,
                 "Escape closes the pop-up and chooses nothing");
    popup = openTypeMenu(session);
    movePointer(toScreen(session.editorWindow(), layout::knobCentre(layout::kStagesAnchor)));
    pressButton(VK_LBUTTON, true);
    pressButton(VK_LBUTTON, false);
    Sleep(200);
    report.check(popup != nullptr && waitForClosed(session, popup) &&
                     effect.get(param::kFilterType) == type && effect.get(param::kStages) == stages,
                 "a click outside closes the pop-up, chooses nothing and leaves the knob under it alone");
}

// Posted as a host or the system would deliver them to the window.
void checkWheelAndClicks(EditorSession& session, Report& report) {
    HostedEffect& effect = session.hosted();
    HWND child = session.editorWindow();
    const POINT mix = layout::knobCentre(layout::kMixAnchor);
    const float before = effect.get(param::kMix);
    postWheel(child, WHEEL_DELTA, mix);
    const float turned = changedValue(effect, param::kMix, before);
    report.check(within(turned, before + 0.1, 1e-5),
                 format("a wheel notch over the Mix knob takes it from %.4f to %.4f", before, turned));
    postWheel(child, -WHEEL_DELTA / 2, mix);
    const float back = changedValue(effect, param::kMix, turned);
    report.check(within(back, turned - 0.05, 1e-5), format("half a notch back takes it to %.4f", back));
    postClick(child, WM_LBUTTONDOWN, MK_LBUTTON | MK_CONTROL, mix);
    const float reset = changedValue(effect, param::kMix, back);
    report.check(reset == 0.5f,
                 format("a Control click sets the knob to its default (%.4f, expected 0.5)", reset));
    const float stereo = effect.get(param::kLfo1Stereo);
    const RECT& button = layout::kLfo1StereoButton;
    postClick(child, WM_LBUTTONDOWN, MK_LBUTTON,
              POINT{(button.left + button.right) / 2, (button.top + button.bottom) / 2});
    const float toggled = changedValue(effect, param::kLfo1Stereo, stereo);
    report.check(toggled == (stereo == 0.0f ? 1.0f : 0.0f),
                 format("a click on the LFO 1 stereo button turns it from %.0f to %.0f", stereo, toggled));
}

} // namespace

void runInteractionChecks(HostUi& ui, const PluginModule& module, Report& report) {
    EditorSession session(ui, module);
    if (!report.check(session.hasEffect() && session.open(0, 0), "the effect opens its editor")) {
        return;
    }
    Sleep(300);
    checkWindow(session, module, report);
    checkKnobDrag(ui, session, report);
    checkFilterDrag(session, report);
    checkShift(session, report);
    checkTypeMenu(ui, session, report);
    checkMenuDismissal(session, report);
    checkWheelAndClicks(session, report);
}
