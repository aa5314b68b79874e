#include "host/platform/linux/x11/composite_capture.h"

#include "host/platform/linux/x11/window_tree.h"

namespace host::platform::x11 {

CompositeCapture::CompositeCapture(std::shared_ptr<DisplayLink> link)
    : link_(link), leases_(std::make_shared<linux_desktop::ImageLeases>(kImagesHeld)),
      grabber_(std::move(link)) {}

CompositeCapture::~CompositeCapture() {
    leases_->close();
}

void CompositeCapture::shareableContent(
    std::function<void(std::optional<std::vector<ShareableWindow>>)> done) {
    worker_.post([this, done = std::move(done)] {
        const auto x = link_->current();
        if (!x || !x->redirected()) {
            done(std::nullopt);
            return;
        }
        auto tops = topLevels(*x);
        if (!tops) {
            done(std::nullopt);
            return;
        }
        std::vector<ShareableWindow> windows;
        for (const TopLevel& top : *tops) {
            if (top.desktop) continue;
            ShareableWindow window;
            window.windowId = top.client;
            if (top.info.ownerPid && *top.info.ownerPid <= INT32_MAX)
                window.owningPid = static_cast<std::int32_t>(*top.info.ownerPid);
            windows.push_back(window);
        }
        done(std::move(windows));
    });
}

void CompositeCapture::captureWindow(std::uint32_t windowId, int width, int height,
                                     std::function<void(std::optional<CapturedImage>)> done) {
    worker_.post([this, windowId, width, height, done = std::move(done)] {
        auto lease = leases_->take();
        if (!lease) return done(std::nullopt);
        auto image = grabber_.grab(windowId, width, height);
        if (image) image->lease = std::move(lease);
        done(std::move(image));
    });
}

} // namespace host::platform::x11
