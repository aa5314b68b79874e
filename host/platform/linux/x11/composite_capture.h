#pragma once
// Window capture over Composite: each request is served in order on a worker thread of
// its own and completes there, exactly once.

#include "host/platform/capture_port.h"
#include "host/platform/linux/image_leases.h"
#include "host/platform/linux/worker_thread.h"
#include "host/platform/linux/x11/display_link.h"
#include "host/platform/linux/x11/window_grab.h"

#include <memory>

namespace host::platform::x11 {

class CompositeCapture final : public CapturePort {
public:
    // Captured images not yet released, at most: a burst of requests holds this many raw
    // pictures, however fast the captures come and however slowly they are encoded.
    static constexpr int kImagesHeld = 2;

    explicit CompositeCapture(std::shared_ptr<DisplayLink> link);
    // Releases a worker waiting for an image to go: nothing will release one any more.
    ~CompositeCapture() override;
    void shareableContent(
        std::function<void(std::optional<std::vector<ShareableWindow>>)> done) override;
    void captureWindow(std::uint32_t windowId, int width, int height,
                       std::function<void(std::optional<CapturedImage>)> done) override;

private:
    std::shared_ptr<DisplayLink> link_;
    std::shared_ptr<linux_desktop::ImageLeases> leases_; // shared with the images handed out
    WindowGrabber grabber_;                              // used on the worker thread only
    linux_desktop::WorkerThread worker_;                 // last: stops before the rest goes
};

} // namespace host::platform::x11
