#pragma once
// Reading the accessibility tree within a call budget. Every function makes its requests
// only while the budget lasts and answers "nothing" when a request fails (the budget then
// records the failure), so a hung application costs at most the budget. libatspi, used
// outside its own event loop, caches nothing but interfaces: every read here is a request.

#include "host/platform/linux/accessibility/atspi_handles.h"
#include "host/platform/linux/accessibility/call_budget.h"

#include <atspi/atspi.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace host::platform::linux_atspi {

using AccessibleRef = GObjectRef<AtspiAccessible>;

// The root of the application whose process is `pid`, among the desktop's children.
AccessibleRef applicationOf(std::int32_t pid, const CallBudget& budget);
std::optional<std::int32_t> processOf(AtspiAccessible* accessible, const CallBudget& budget);

std::vector<AccessibleRef> childrenOf(AtspiAccessible* accessible, const CallBudget& budget);
AccessibleRef parentOf(AtspiAccessible* accessible, const CallBudget& budget);
std::optional<AtspiRole> roleOf(AtspiAccessible* accessible, const CallBudget& budget);
// An empty set when the states cannot be read.
bool hasState(AtspiAccessible* accessible, AtspiStateType state, const CallBudget& budget);
std::optional<std::string> nameOf(AtspiAccessible* accessible, const CallBudget& budget);

struct ScreenRect {
    int x = 0, y = 0, width = 0, height = 0;
    bool contains(int px, int py) const {
        return px >= x && py >= y && px - x < width && py - y < height;
    }
};
// Extents in screen coordinates; nothing without a Component or for a hidden object (which
// reports INT_MIN, INT_MIN, 1, 1).
std::optional<ScreenRect> extentsOf(AtspiAccessible* accessible, const CallBudget& budget);

// The top-level window holding `accessible` (the ancestor just below its application), or
// the accessible itself when it is a top-level window.
AccessibleRef windowOf(AtspiAccessible* accessible, const CallBudget& budget);
// The application's top-level window with the ACTIVE state.
AccessibleRef activeWindowOf(AtspiAccessible* application, const CallBudget& budget);
// The showing descendant of `root` with the FOCUSED state, searched breadth first.
AccessibleRef focusedDescendantOf(AtspiAccessible* root, const CallBudget& budget);
// The deepest accessible at a screen point inside `window` (the window itself when none of
// its descendants is there).
AccessibleRef deepestAt(AtspiAccessible* window, int x, int y, const CallBudget& budget);
// The nearest ancestor (or the accessible itself) that is a scroll pane.
AccessibleRef scrollPaneOf(AtspiAccessible* accessible, const CallBudget& budget);
// A scroll pane's vertical scroll bar.
AccessibleRef verticalScrollBarOf(AtspiAccessible* pane, const CallBudget& budget);
// The pane's scrolled content: its child that is no scroll bar (the view or viewport),
// whose extents are the visible part.
AccessibleRef scrolledContentOf(AtspiAccessible* pane, const CallBudget& budget);

} // namespace host::platform::linux_atspi
