#pragma once
// What the login session needs to know of the display server it shows on. Each desktop
// backend supplies its own; without a display server there are none, and the session is
// absent. The four facts may be asked on several threads at once: the frontmost
// application is asked beside the login session's other facts.

#include <glib.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace host::platform::linux_desktop {

class DisplayFacts {
public:
    virtual ~DisplayFacts() = default;
    // The display server answers a round trip now.
    virtual bool reachable() = 0;
    // The display is one of this machine's, not one reached over the network: without
    // logind, a reachable local display is the console.
    virtual bool local() = 0;
    // Windows can be captured on their own, independent of what covers them.
    virtual bool captureAvailable() = 0;
    // The process that owns the window with the keyboard focus.
    virtual std::optional<std::int32_t> activeWindowPid() = 0;

    // Reports display sleep (true) and wake (false) for as long as the returned watch lives,
    // dispatched from `context`; nothing (null) when the display cannot tell.
    class Watch {
    public:
        virtual ~Watch() = default;
    };
    virtual std::unique_ptr<Watch> watchSleep(GMainContext* context,
                                              std::function<void(bool asleep)> changed) = 0;
};

} // namespace host::platform::linux_desktop
