#pragma once
// Asynchronous capture of one window's own content. Every request completes exactly once,
// with a value or with nothing (the service failed), on any thread.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace host::platform {

struct ShareableWindow {
    std::uint32_t windowId = 0;
    std::optional<std::int32_t> owningPid; // nothing: no owning application
};

// Pixels as B, G, R, X bytes (four a pixel), rows `stride` bytes apart.
struct CapturedImage {
    int width = 0;
    int height = 0;
    std::size_t stride = 0;
    std::vector<unsigned char> bgrx;
    // While an image lives it may count against what the service holds at once: a service
    // that bounds its memory waits for images to go before it captures more.
    std::shared_ptr<void> lease;
};

class CapturePort {
public:
    virtual ~CapturePort() = default;
    // On-screen windows only, desktop windows excluded.
    virtual void
    shareableContent(std::function<void(std::optional<std::vector<ShareableWindow>>)> done) = 0;
    // One window, independent of windows covering it, scaled to width × height pixels,
    // without the cursor.
    virtual void captureWindow(std::uint32_t windowId, int width, int height,
                               std::function<void(std::optional<CapturedImage>)> done) = 0;
};

} // namespace host::platform
