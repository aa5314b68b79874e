#pragma once
// Bounds how many captured images are out at once: a capture service takes a lease before it
// captures and hands it out with the image, and the lease comes back when the image goes. A
// burst of requests then holds a few raw images, however many wait.

#include <condition_variable>
#include <memory>
#include <mutex>

namespace host::platform::linux_desktop {

class ImageLeases : public std::enable_shared_from_this<ImageLeases> {
public:
    explicit ImageLeases(int held) : held_(held) {}

    // Waits until fewer than `held` images are out; nothing when the wait was ended because
    // the service is going.
    std::shared_ptr<void> take() {
        std::unique_lock lock(mutex_);
        returned_.wait(lock, [this] { return out_ < held_ || closed_; });
        if (closed_) return nullptr;
        ++out_;
        return std::shared_ptr<void>(this, [self = shared_from_this()](void*) { self->give(); });
    }

    // Ends every wait: nothing will give a lease back any more.
    void close() {
        {
            std::lock_guard lock(mutex_);
            closed_ = true;
        }
        returned_.notify_all();
    }

private:
    void give() {
        {
            std::lock_guard lock(mutex_);
            --out_;
        }
        returned_.notify_one();
    }

    const int held_;
    std::mutex mutex_;
    std::condition_variable returned_;
    int out_ = 0;
    bool closed_ = false;
};

} // namespace host::platform::linux_desktop
