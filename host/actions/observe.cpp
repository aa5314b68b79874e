#include "host/actions/observe.h"

#include "common/base64.h"
#include "host/actions/capture_size.h"
#include "host/actions/jpeg_encoder.h"
#include "host/base/host_error.h"
#include "host/base/params.h"
#include "host/inventory/target.h"
#include "host/session/host.h"

#include <atomic>
#include <future>
#include <memory>

namespace host {
namespace {

// One observe in flight. It owns copies of everything it needs after a wait (the request's
// parameters live only as long as the request job), and is kept alive by the completions
// it hands to the capture service.
class ObserveRequest : public std::enable_shared_from_this<ObserveRequest> {
public:
    ObserveRequest(Host& host, platform::Platform& platform, const common::Json& params,
                   Reply reply)
        : host_(host), platform_(platform), lifeline_(host.lifeline()),
          params_(params::deepCopy(params)), reply_(std::move(reply)) {}

    void start() {
        attempt([&] {
            before_ = target(host_, platform_, params_);
            platform_.capture.shareableContent(resumeWith(&ObserveRequest::onContent));
        });
    }

private:
    using Windows = std::optional<std::vector<platform::ShareableWindow>>;
    using Image = std::optional<platform::CapturedImage>;

    // The service may answer on any thread, or even before the call that asked returns:
    // either way the rest runs as a job of its own on the main queue.
    template <typename Value>
    std::function<void(Value)> resumeWith(void (ObserveRequest::*step)(Value&)) {
        auto called = std::make_shared<std::atomic_flag>();
        return [self = shared_from_this(), step, called](Value value) {
            if (called->test_and_set()) return; // a service that answers twice is heard once
            // After the host is gone (the process is ending) the answer is dropped.
            self->lifeline_->post([self, step, value = std::move(value)]() mutable {
                if (self->answered_ || !self->lifeline_->alive()) return;
                self->attempt([&] { ((*self).*step)(value); });
            });
        };
    }

    void onContent(Windows& content) {
        if (!content) return finish(EngineFailure{});
        const auto& wanted = before_;
        bool listed = false;
        for (const auto& window : *content) {
            if (window.windowId == wanted.windowId && window.owningPid == wanted.pid) {
                listed = true;
                break;
            }
        }
        if (!listed) fail(ErrorCode::TargetChanged);
        const auto size = captureSize(wanted.bounds.width, wanted.bounds.height);
        platform_.capture.captureWindow(wanted.windowId, size.width, size.height,
                                        resumeWith(&ObserveRequest::onImage));
    }

    void onImage(Image& image) {
        if (!image) return finish(EngineFailure{});
        // The JPEG is encoded on a thread of its own while this job checks the target and
        // the gate again; it is looked at only once both have passed, so the checks keep
        // their order, and this job waits for it without letting another job run. Where
        // no thread can be started the encoding runs here, when it is asked for.
        const platform::CapturedImage& captured = *image;
        auto encoded = std::async(std::launch::async | std::launch::deferred, [&captured] {
            return encodeJpeg(captured, kCaptureJpegQuality);
        });
        // The window must still be there and the screen still usable; what changed in the
        // meantime (a move) is left for the next input request to notice. The gate's
        // questions are asked beside the resolution and decided on after it. A failure here
        // waits for the encoding to end before the image goes.
        auto gate = host_.askScreenGate();
        target(host_, platform_, params_);
        host_.requireScreen(std::move(gate));

        auto jpeg = encoded.get();
        if (!jpeg) return finish(EngineFailure{});
        if (jpeg->size() > kLargestJpeg) fail(ErrorCode::ImageTooLarge);
        const auto& b = before_.bounds;
        auto frameId = host_.frames().registerFrame(before_.windowId, before_.pid, b);

        std::string base64;
        base64.reserve(4 * ((jpeg->size() + 2) / 3));
        common::appendBase64(base64, jpeg->data(), jpeg->size());
        common::Json answer = common::Json::object();
        answer["bounds"] = {{"x", b.x}, {"y", b.y}, {"width", b.width}, {"height", b.height}};
        answer["frameId"] = std::move(frameId);
        answer["height"] = image->height;
        answer["image"] = std::move(base64);
        answer["mimeType"] = "image/jpeg";
        answer["width"] = image->width;
        finish(std::move(answer));
    }

    // Runs one step; whatever it throws becomes the answer.
    template <typename Step> void attempt(Step&& step) {
        std::optional<Outcome> failure;
        try {
            step();
        } catch (const HostError& error) {
            failure.emplace(error);
        } catch (...) {
            failure.emplace(EngineFailure{});
        }
        if (failure) finish(std::move(*failure));
    }

    void finish(Outcome outcome) {
        if (answered_) return;
        answered_ = true;
        auto reply = std::move(reply_);
        reply(std::move(outcome));
    }

    Host& host_;
    platform::Platform& platform_;
    std::shared_ptr<QueueLifeline> lifeline_;
    const common::Json params_;
    Reply reply_;
    ResolvedTarget before_;
    bool answered_ = false;
};

} // namespace

void observe(Host& host, platform::Platform& platform, const common::Json& params, Reply reply) {
    std::make_shared<ObserveRequest>(host, platform, params, std::move(reply))->start();
}

} // namespace host
