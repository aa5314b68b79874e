#include "host/platform/linux/x11/composite_capture.h"

#include "host/platform/linux/x11/window_tree.h"

#include <condition_variable>
#include <mutex>

namespace host::platform::x11 {

// Counts the images out; the worker waits for one to come back before it takes another.
class CompositeCapture::Leases {
public:
    // False when the wait was ended because the capture service is going.
    bool take() {
        std::unique_lock lock(mutex_);
        returned_.wait(lock, [this] { return out_ < kImagesHeld || closed_; });
        if (closed_) return false;
        ++out_;
        return true;
    }
    void give() {
        {
            std::lock_guard lock(mutex_);
            --out_;
        }
        returned_.notify_one();
    }
    void close() {
        {
            std::lock_guard lock(mutex_);
            closed_ = true;
        }
        returned_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable returned_;
    int out_ = 0;
    bool closed_ = false;
};

CompositeCapture::CompositeCapture(std::shared_ptr<DisplayLink> link)
    : link_(link), leases_(std::make_shared<Leases>()), grabber_(std::move(link)) {}

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
        if (!leases_->take()) return done(std::nullopt);
        auto image = grabber_.grab(windowId, width, height);
        if (!image) {
            leases_->give();
            return done(std::nullopt);
        }
        image->lease =
            std::shared_ptr<void>(nullptr, [leases = leases_](void*) { leases->give(); });
        done(std::move(image));
    });
}

} // namespace host::platform::x11
