#pragma once
// The login session of a Linux desktop: the display server's facts, and the session and
// system buses of the environment (screen savers, logind, the accessibility bus). Without
// a display server the session is absent, and the adapter still answers every call. Its
// questions may be asked on several threads at once; subscribe on the main thread.

#include "host/platform/linux/display_facts.h"
#include "host/platform/session_port.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace host::platform::linux_desktop {

// The bundle identifier of the application a process runs from, if any.
using BundleIdOfProcess = std::function<std::optional<std::string>(std::int32_t pid)>;

// `display` may be null (no display server). Notifications are delivered on the thread
// whose thread-default GLib main context is current when `subscribe` is called, from that
// context's dispatch.
std::unique_ptr<SessionPort> makeLinuxSession(std::unique_ptr<DisplayFacts> display,
                                              BundleIdOfProcess bundleIdOfProcess);

} // namespace host::platform::linux_desktop
