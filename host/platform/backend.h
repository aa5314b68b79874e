#pragma once
// A desktop backend: every port the host uses, and the main loop those ports deliver to.
// The program asks `openBackend` for one; which backend that is, is decided at run time
// by the desktop the process finds itself on.

#include "host/base/main_queue.h"
#include "host/platform/platform.h"

#include <memory>

namespace host::platform {

class Backend {
public:
    virtual ~Backend() = default;
    // Both valid for the backend's life. The loop outlives the ports: a service that
    // completes late posts into a loop that has quit, which drops the job.
    virtual Platform& platform() = 0;
    virtual MainLoop& mainLoop() = 0;
};

// The backend of the desktop this process runs on, found the way desktop programs find it;
// without one, a session-less backend that still serves. Defined by the platform library
// the program links.
std::unique_ptr<Backend> openBackend();

} // namespace host::platform
