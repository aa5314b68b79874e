#pragma once
// Follows keyboard focus through the applications' focus events. An element's FOCUSED
// state is set by the application a little after the focus moves (up to ~30 ms in GTK),
// while the events arrive in order; so the element that last gained focus is known without
// polling states. Events are dispatched by libatspi on the GLib main context of the main
// thread, between the host's jobs.

#include "host/platform/linux/accessibility/atspi_handles.h"

#include <map>
#include <string>

namespace host::platform::linux_atspi {

class FocusTracker {
public:
    FocusTracker();  // starts listening
    ~FocusTracker(); // stops listening
    FocusTracker(const FocusTracker&) = delete;
    FocusTracker& operator=(const FocusTracker&) = delete;

    // The element that last gained focus in the application on `busName` and has not lost
    // it since; nothing when no such event was seen.
    GObjectRef<AtspiAccessible> focusedIn(const std::string& busName) const;
    // The same across all applications: the most recent focus of all.
    GObjectRef<AtspiAccessible> latest() const;

private:
    static void onEvent(AtspiEvent* event, void* self);
    void record(AtspiEvent& event);

    GObjectRef<AtspiEventListener> listener_;
    std::map<std::string, GObjectRef<AtspiAccessible>> focusByApplication_;
    GObjectRef<AtspiAccessible> latest_;
};

} // namespace host::platform::linux_atspi
