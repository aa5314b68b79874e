#pragma once
// The operations the host performs on an accessible, each within a call budget. All answer
// a status: 0 when done.

#include "host/platform/accessibility_port.h"
#include "host/platform/linux/accessibility/call_budget.h"

#include <atspi/atspi.h>

#include <optional>
#include <string>

namespace host::platform::linux_atspi {

// Performs the element's "click", "press" or "activate" action, the first of these it has.
AxStatus press(AtspiAccessible* accessible, const CallBudget& budget);

// Moves the vertical scroll bar of the element's scroll pane one visible height down or up,
// clamped to the bar's range.
AxStatus scrollByPage(AtspiAccessible* accessible, bool down, const CallBudget& budget);

// Replaces the whole text of an editable text element.
AxStatus setText(AtspiAccessible* accessible, const std::string& text, const CallBudget& budget);

// The whole text of a Text element.
std::optional<std::string> textOf(AtspiAccessible* accessible, const CallBudget& budget);

} // namespace host::platform::linux_atspi
