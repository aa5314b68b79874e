#pragma once
// The current content of one top-level window, read from its Composite pixmap: the window
// manager's frame with everything inside it, nothing of the windows covering it, no cursor.

#include "host/platform/capture_port.h"
#include "host/platform/linux/x11/display_link.h"

#include <memory>
#include <optional>

namespace host::platform::x11 {

// Reads window contents; keeps one shared-memory segment between reads. Not thread-safe:
// one grabber per thread.
class WindowGrabber {
public:
    explicit WindowGrabber(std::shared_ptr<DisplayLink> link);
    ~WindowGrabber();
    WindowGrabber(const WindowGrabber&) = delete;
    WindowGrabber& operator=(const WindowGrabber&) = delete;

    // The frame of window `windowId` (a client window or a top-level one), resampled to
    // width × height; nothing when it is not on screen or cannot be read.
    std::optional<CapturedImage> grab(std::uint32_t windowId, int width, int height);

private:
    struct Segment;
    std::optional<CapturedImage> readShm(xcb_drawable_t pixmap, int sourceWidth, int sourceHeight,
                                         int width, int height);
    std::optional<CapturedImage> readPlain(xcb_drawable_t pixmap, int sourceWidth, int sourceHeight,
                                           int width, int height);

    std::shared_ptr<DisplayLink> link_;
    std::shared_ptr<XConnection> x_; // the connection the segment is attached on
    std::unique_ptr<Segment> segment_;
};

} // namespace host::platform::x11
