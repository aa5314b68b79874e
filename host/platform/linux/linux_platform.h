#pragma once
// The real Linux desktop, found the way desktop programs find it (DISPLAY, the session
// bus). Without a display it is a session-less desktop, and the host still serves.

#include "host/platform/platform.h"

#include <memory>

namespace host::platform::linux_desktop {

// Owns every adapter; `platform()` is valid for the owner's life.
class LinuxPlatform {
public:
    virtual ~LinuxPlatform() = default;
    virtual Platform& platform() = 0;
};

std::unique_ptr<LinuxPlatform> makeLinuxPlatform();

} // namespace host::platform::linux_desktop
