// Opening and closing the editor as hosts do, and its idle when they stop
// idling it.

#include <cmath>
#include <set>

#include "checks.h"
#include "common/parameter_table.h"
#include "editor_layout.h"
#include "editor_session.h"
#include "user_input.h"

namespace {

constexpr int kReopenings = 20;

bool classRegistered(const PluginModule& module, const std::wstring& name) {
    WNDCLASSEXW info{};
    info.cbSize = sizeof info;
    return GetClassInfoExW(module.handle(), name.c_str(), &info) != 0;
}

RECT knobArea(layout::Anchor anchor) {
    return RECT{anchor.x, anchor.y + 14, anchor.x + 30, anchor.y + 44};
}

// A picture of more than a few colours: the editor drew itself.
bool looksDrawn(const Image& picture) {
    std::set<std::uint32_t> colours(picture.pixels.begin(), picture.pixels.end());
    return colours.size() > 20;
}

void checkReopening(HostUi& ui, const PluginModule& module, Report& report) {
    EditorSession session(ui, module);
    session.open(0, 0);
    const std::wstring name = windowClassOf(session.editorWindow());
    Sleep(300);
    const Image first = captureEditor(ui, session);
    report.check(looksDrawn(first), "the editor draws itself once opened");
    int windowsLeft = 0, classesLeft = 0, refused = 0, otherPictures = 0;
    for (int i = 0; i < kReopenings; ++i) {
        session.close();
        windowsLeft += session.editorWindow() != nullptr ? 1 : 0;
        classesLeft += classRegistered(module, name) ? 1 : 0;
        if (!session.reopen() || session.editorWindow() == nullptr) {
            ++refused;
            continue;
        }
        Sleep(150);
        otherPictures += countDifferent(captureEditor(ui, session), first) != 0 ? 1 : 0;
    }
    report.check(windowsLeft == 0,
                 format("effEditClose takes the editor's window away (%d times)", kReopenings));
    report.check(classesLeft == 0, "with no editor open the window class is unregistered");
    report.check(refused == 0, format("effEditOpen opens it again (%d times)", kReopenings));
    report.check(otherPictures == 0, format("each reopened editor shows the first one's picture exactly "
                                            "(%d of %d differ)",
                                            otherPictures, kReopenings));
}

void checkTwoInstances(HostUi& ui, const PluginModule& module, Report& report) {
    EditorSession first(ui, module);
    EditorSession second(ui, module);
    first.open(0, 0);
    second.open(700, 0);
    HWND a = first.editorWindow();
    HWND b = second.editorWindow();
    report.check(a != nullptr && b != nullptr && a != b && windowClassOf(a) == windowClassOf(b),
                 "two instances open their editors at once, in windows of the one class");
    Sleep(300);
    const float firstCutoff = first.hosted().get(param::kCutoff);
    const POINT release{520, 125};
    dragPointer(toScreen(b, POINT{470, 170}), toScreen(b, release));
    const double cutoff = layout::cutoffAcross(layout::acrossFilterDisplay(release));
    report.check(std::fabs(second.hosted().get(param::kCutoff) - cutoff) <= cutoff * 1e-3 &&
                     first.hosted().get(param::kCutoff) == firstCutoff,
                 "a drag in the second editor changes the second effect only");
    const std::wstring name = windowClassOf(b);
    first.close();
    report.check(classRegistered(module, name),
                 "with the second editor still open the class stays registered");
    const Image before = captureEditor(ui, second);
    second.hosted().set(param::kMix, 0.95f);
    Sleep(300);
    const RECT mix = knobArea(layout::kMixAnchor);
    report.check(countDifferent(before, captureEditor(ui, second), &mix) > 0,
                 "the second editor still follows its parameters after the first closed");
    second.close();
    report.check(!classRegistered(module, name), "closing the last editor unregisters the class");
}

// The host stops idling the editor: the window's own timer takes over.
void checkOwnIdle(HostUi& ui, const PluginModule& module, Report& report) {
    EditorSession session(ui, module);
    session.open(0, 0);
    Sleep(300);
    session.setIdling(false);
    Sleep(100);
    const Image before = captureEditor(ui, session);
    session.hosted().set(param::kAWarp, 0.0f);
    Sleep(700);
    const RECT knob = knobArea(layout::kAWarpAnchor);
    const int changed = countDifferent(before, captureEditor(ui, session), &knob);
    report.check(changed > 0,
                 format("with no idle from the host, the knob still follows a value the host sets "
                        "(%d pixels changed)",
                        changed));
}

void checkParentDestroyed(HostUi& ui, const PluginModule& module, Report& report) {
    EditorSession session(ui, module);
    session.open(0, 0);
    Sleep(200);
    session.destroyWindowUnderEditor();
    Sleep(200); // the host goes on idling the editor meanwhile
    session.close();
    const bool reopened = session.open(0, 0);
    Sleep(300);
    report.check(reopened && looksDrawn(captureEditor(ui, session)),
                 "after the host destroyed its window under the editor, closing and opening again works");
}

} // namespace

void runLifecycleChecks(HostUi& ui, const PluginModule& module, Report& report) {
    checkReopening(ui, module, report);
    checkTwoInstances(ui, module, report);
    checkOwnIdle(ui, module, report);
    checkParentDestroyed(ui, module, report);
}
