#pragma once
// Window capture through Mutter's ScreenCast: for each request a session records that one
// window (RecordWindow), one frame is taken from its PipeWire stream, and the session stops.
// The compositor draws the window on its own, so windows covering it are not in the image.
// Requests are served in order on a worker thread of their own.

#include "host/platform/capture_port.h"
#include "host/platform/linux/glib/dbus.h"
#include "host/platform/linux/image_leases.h"
#include "host/platform/linux/worker_thread.h"

namespace host::platform::gnome {

class ScreenCastCapture final : public CapturePort {
public:
    explicit ScreenCastCapture(linux_desktop::dbus::Connection bus);
    ~ScreenCastCapture() override;

    void shareableContent(
        std::function<void(std::optional<std::vector<ShareableWindow>>)> done) override;
    void captureWindow(std::uint32_t windowId, int width, int height,
                       std::function<void(std::optional<CapturedImage>)> done) override;

private:
    std::optional<CapturedImage> capture(std::uint32_t windowId, int width, int height);

    linux_desktop::dbus::Connection bus_;
    std::shared_ptr<linux_desktop::ImageLeases> leases_;
    linux_desktop::WorkerThread worker_; // last: stops before the rest goes
};

} // namespace host::platform::gnome
