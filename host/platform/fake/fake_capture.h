#pragma once
// Window capture of the in-memory desktop. Completions either run inside the call or are
// held until the test releases them, so a test can act while a capture is "in progress".

#include "host/platform/capture_port.h"

#include <deque>
#include <functional>

namespace host::platform::fake {

struct CaptureRequest {
    std::uint32_t windowId;
    int width;
    int height;
};

// A window-like picture: a light background, a title bar, a few panels and lines of "text",
// so that its JPEG is about as large as that of a real window.
platform::CapturedImage paintWindowImage(int width, int height);

class FakeCapture : public platform::CapturePort {
public:
    // The shareable windows; nothing: the service answers with an error. Read when the
    // completion runs, not when it was asked for.
    std::optional<std::vector<platform::ShareableWindow>> content{std::in_place};
    // Makes the image for a request when its completion runs; nothing: the service fails.
    // By default, `paintWindowImage` of the requested size.
    std::function<std::optional<platform::CapturedImage>(const CaptureRequest&)> render;
    bool hold = false;
    bool throwing = false;                // asking for a capture throws (a broken service)
    std::vector<CaptureRequest> captures; // every capture asked for, in order
    int contentQueries = 0;

    void shareableContent(
        std::function<void(std::optional<std::vector<platform::ShareableWindow>>)> done) override;
    void captureWindow(std::uint32_t windowId, int width, int height,
                       std::function<void(std::optional<platform::CapturedImage>)> done) override;

    std::size_t pending() const { return held_.size(); }
    // Completes the oldest held request; false when none is held.
    bool releaseNext();
    // The same, on a thread of its own (as the real service does), joined before returning.
    bool releaseNextOnThread();
    void releaseAll();

private:
    void complete(std::function<void()> completion);
    std::deque<std::function<void()>> held_;
};

} // namespace host::platform::fake
