#pragma once
// Window capture over Composite: each request is served in order on a worker thread of
// its own and completes there, exactly once.

#include "host/platform/capture_port.h"
#include "host/platform/linux/x11/display_link.h"
#include "host/platform/linux/x11/window_grab.h"
#include "host/platform/linux/x11/worker_thread.h"

#include <memory>

namespace host::platform::x11 {

class CompositeCapture final : public CapturePort {
public:
    explicit CompositeCapture(std::shared_ptr<DisplayLink> link);
    void shareableContent(
        std::function<void(std::optional<std::vector<ShareableWindow>>)> done) override;
    void captureWindow(std::uint32_t windowId, int width, int height,
                       std::function<void(std::optional<CapturedImage>)> done) override;

private:
    std::shared_ptr<DisplayLink> link_;
    WindowGrabber grabber_; // used on the worker thread only
    WorkerThread worker_;   // last: stops before the rest goes
};

} // namespace host::platform::x11
