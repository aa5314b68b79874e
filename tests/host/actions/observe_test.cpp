#include "host/actions/dispatcher.h"
#include "tests/support/jpeg_decode.h"
#include "world.h"

#include "host/actions/capture_size.h"
#include "host/channel/request_loop.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

namespace host::testing {
namespace {

using platform::CapturedImage;

TEST(CaptureSize, AtMostOnePixelPerPointAnd1280OnTheLongerSide) {
    struct Row {
        double width, height;
        PixelSize pixels;
    };
    const Row rows[] = {
        {800, 600, {800, 600}},   {1280, 400, {1280, 400}},  {1280, 1280, {1280, 1280}},
        {1281, 700, {1280, 699}}, {2560, 1000, {1280, 500}}, {700, 2560, {350, 1280}},
        {100000, 10, {1280, 1}},  {90.9, 61.9, {90, 61}},    {0, 0, {1, 1}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(captureSize(row.width, row.height), row.pixels) << row.width << "x" << row.height;
}

TEST(Observe, AnswersTheJpegTheSizesAndTheFrame) {
    World world;
    const auto answer = world.observed();
    EXPECT_EQ(answer.size(), 6u);
    EXPECT_EQ(answer["mimeType"], "image/jpeg");
    EXPECT_EQ(answer["width"], 800);
    EXPECT_EQ(answer["height"], 600);
    EXPECT_EQ(answer["bounds"],
              (common::Json{{"x", 100.0}, {"y", 120.0}, {"width", 800.0}, {"height", 600.0}}));
    ASSERT_EQ(world.desktop.capture.captures.size(), 1u);
    EXPECT_EQ(world.desktop.capture.captures[0].windowId, kWindow);

    const auto bytes = decodeBase64(answer["image"]);
    ASSERT_TRUE(bytes);
    const auto image = decodeJpeg(*bytes);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, 800);
    EXPECT_EQ(image->height, 600);
    // The pixels survive, colour channels in their places: the title bar is grey, the side
    // bar has blue stripes (B=200, G=120, R=40 in the capture).
    const auto source = paintWindowImage(800, 600);
    auto near = [&](int x, int y) {
        const auto* out = &image->rgb[(y * 800 + x) * 3];
        const auto* in = &source.bgrx[(y * 800 + x) * 4];
        for (int c = 0; c < 3; ++c)
            if (std::abs(out[c] - in[2 - c]) > 12) return false;
        return true;
    };
    EXPECT_TRUE(near(400, 10));
    EXPECT_TRUE(near(60, 75));
    EXPECT_TRUE(near(700, 590));

    auto frame = world.host.frames().takeFrame(answer["frameId"]);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->windowId, kWindow);
    EXPECT_EQ(frame->pid, kPid);
    EXPECT_EQ(frame->bounds, kBounds);
    EXPECT_EQ(frame->capturedAt, world.desktop.clock.time);
}

TEST(Observe, CapturesLargeWindowsScaledAndReportsTheDeliveredSize) {
    World world;
    (*world.desktop.windowServer.windows)[0].bounds = platform::Rect{0, 0, 1281, 700};
    world.desktop.capture.render = [](const CaptureRequest&) {
        return std::optional(paintWindowImage(640, 350)); // the service's own choice
    };
    const auto answer = world.observed();
    EXPECT_EQ(world.desktop.capture.captures[0].width, 1280);
    EXPECT_EQ(world.desktop.capture.captures[0].height, 699);
    EXPECT_EQ(answer["width"], 640);
    EXPECT_EQ(answer["height"], 350);
    EXPECT_EQ(answer["bounds"]["width"], 1281.0);
}

CapturedImage noise(int width, int height) {
    CapturedImage image{width, height, static_cast<std::size_t>(width) * 4, {}, nullptr};
    image.bgrx.resize(image.stride * height);
    std::uint64_t state = 0x9E3779B97F4A7C15ull; // xorshift: cheap enough for megabytes
    for (std::size_t at = 0; at + 8 <= image.bgrx.size(); at += 8) {
        state ^= state << 13, state ^= state >> 7, state ^= state << 17;
        std::memcpy(&image.bgrx[at], &state, 8);
    }
    return image;
}

TEST(Observe, FailuresRegisterNothing) {
    struct Row {
        const char* what;
        std::function<void(World&)> before; // before the request
        std::function<void(World&)> during; // while the capture is held
        const char* code;
        std::size_t framesAfter; // one earlier frame exists
    };
    auto render = [](std::function<std::optional<CapturedImage>()> make) {
        return [make](World& w) { w.desktop.capture.render = [make](auto&) { return make(); }; };
    };
    const Row rows[] = {
        {"shareable content fails",
         [](World& w) { w.desktop.capture.content.reset(); },
         {},
         "engine_failed",
         1},
        {"window not shareable",
         [](World& w) { w.desktop.capture.content->clear(); },
         {},
         "target_changed",
         1},
        {"shared for another process",
         [](World& w) { (*w.desktop.capture.content)[0].owningPid = 999; },
         {},
         "target_changed",
         1},
        {"shared without an owner",
         [](World& w) { (*w.desktop.capture.content)[0].owningPid.reset(); },
         {},
         "target_changed",
         1},
        {"capture fails", render([] { return std::nullopt; }), {}, "engine_failed", 1},
        {"capture service throws",
         [](World& w) { w.desktop.capture.throwing = true; },
         {},
         "engine_failed",
         1},
        {"image shorter than it says",
         render([] {
             auto image = paintWindowImage(800, 600);
             image.bgrx.resize(image.bgrx.size() - 1);
             return std::optional(image);
         }),
         {},
         "engine_failed",
         1},
        {"image with a stride too small",
         render([] {
             auto image = paintWindowImage(800, 600);
             image.stride = 799 * 4;
             return std::optional(image);
         }),
         {},
         "engine_failed",
         1},
        {"JPEG of 2,500,000 bytes or more",
         render([] { return std::optional(noise(2600, 2000)); }),
         {},
         "image_too_large",
         1},
        {"window closed during the capture",
         {},
         [](World& w) { w.desktop.closeWindow(kWindow); },
         "target_changed",
         1},
        {"app replaced during the capture",
         {},
         [](World& w) { w.desktop.codeSigning.signatures.begin()->second.valid = false; },
         "unsigned_app",
         1},
        {"screen locked during the capture",
         {},
         [](World& w) { w.desktop.session.deliver(platform::ScreenNotification::ScreenIsLocked); },
         "mac_locked",
         0},
        {"permission withdrawn during the capture",
         {},
         [](World& w) { w.desktop.session.screenAllowed = false; },
         "screen_permission_required",
         1},
        // The JPEG is encoded while the target and the gate are checked again: their
        // codes still come first.
        {"unencodable image of a window closed during the capture", render([] {
             auto image = paintWindowImage(800, 600);
             image.stride = 799 * 4;
             return std::optional(image);
         }),
         [](World& w) { w.desktop.closeWindow(kWindow); }, "target_changed", 1},
        {"oversized JPEG of a screen locked during the capture",
         render([] { return std::optional(noise(2600, 2000)); }),
         [](World& w) { w.desktop.session.deliver(platform::ScreenNotification::ScreenIsLocked); },
         "mac_locked", 0},
    };
    for (const auto& row : rows) {
        World world;
        world.observed();
        if (row.before) row.before(world);
        std::optional<Outcome> outcome;
        world.desktop.capture.hold = true;
        handle(world.host, world.desktop.platform(), "observe", world.targetParams(),
               [&](Outcome o) { outcome = o; });
        world.desktop.capture.releaseNext(); // the shareable content
        world.queue.runAll();
        if (row.during) row.during(world);
        world.queue.runAll();
        world.desktop.capture.releaseAll();
        world.queue.runAll();
        EXPECT_EQ(codeOf(outcome), row.code) << row.what;
        EXPECT_EQ(world.host.frames().size(), row.framesAfter) << row.what;
    }
}

// Answer lines as the channel writes them.
struct Lines : AnswerSink {
    std::vector<common::Json> answers;
    void write(std::string_view line) override { answers.push_back(*common::parseStrict(line)); }
    std::vector<std::string> ids() const {
        std::vector<std::string> out;
        for (const auto& a : answers)
            out.push_back(a["id"].get<std::string>());
        return out;
    }
};

struct Channel {
    World world;
    Lines lines;
    RequestLoop loop{world.host, world.desktop.platform(), world.queue, lines,
                     [] { FAIL() << "overflow"; }};
    void send(const std::string& id, const std::string& method, const common::Json& params) {
        common::Json request = {{"id", id}, {"method", method}, {"params", params}};
        loop.chunk(common::compact(request) + "\n");
    }
};

TEST(ObserveWaits, LaterRequestsAndNotificationsAreAnsweredFirst) {
    Channel c;
    c.world.desktop.capture.hold = true;
    c.send("1", "observe", c.world.targetParams());
    c.send("2", "status", {});
    c.send("3", "clear", {});
    c.world.queue.runAll();
    c.world.desktop.capture.releaseNext(); // content arrives, capture asked
    c.world.queue.runAll();
    c.send("4", "windows", {{"app", c.world.app}});
    c.world.desktop.session.deliver(platform::ScreenNotification::ScreensDidWake);
    c.world.queue.runAll();
    EXPECT_THAT(c.lines.ids(), ::testing::ElementsAre("2", "3", "4"));

    // The capture completes on a thread of its own; the rest runs as a main-queue job.
    ASSERT_TRUE(c.world.desktop.capture.releaseNextOnThread());
    EXPECT_EQ(c.lines.answers.size(), 3u);
    c.world.queue.runAll();
    ASSERT_EQ(c.lines.answers.size(), 4u);
    EXPECT_EQ(c.lines.answers[3]["id"], "1");
    // The clear and the wake notification ran during the wait; the new frame still counts.
    EXPECT_EQ(c.world.host.frames().size(), 1u);
}

TEST(ObserveWaits, TwoObservesOfOneWindowLeaveTwoLiveFrames) {
    Channel c;
    c.world.desktop.capture.hold = true;
    c.send("a", "observe", c.world.targetParams());
    c.send("b", "observe", c.world.targetParams());
    c.world.queue.runAll();
    while (c.world.desktop.capture.pending() > 0) {
        c.world.desktop.capture.releaseAll();
        c.world.queue.runAll();
    }
    ASSERT_EQ(c.lines.answers.size(), 2u);
    std::string first = c.lines.answers[0]["result"]["frameId"];
    std::string second = c.lines.answers[1]["result"]["frameId"];
    EXPECT_NE(first, second);
    c.world.desktop.accessibility.hitAreas.push_back({kBounds, c.world.focusedWindow});
    c.world.focusedWindow->actions["AXPress"] = AxStatus::Success;
    for (const auto& id : {first, second}) {
        auto params = c.world.actionParams(id);
        params["x"] = 10;
        params["y"] = 10;
        EXPECT_EQ(c.world.codeFor("click", params), "ok");
    }
}

TEST(ObserveWaits, AServiceThatAnswersTwiceIsHeardOnce) {
    struct Stutter : platform::CapturePort {
        FakeCapture& real;
        explicit Stutter(FakeCapture& r) : real(r) {}
        void shareableContent(
            std::function<void(std::optional<std::vector<platform::ShareableWindow>>)> done)
            override {
            done(real.content);
            done(real.content);
        }
        void captureWindow(std::uint32_t, int w, int h,
                           std::function<void(std::optional<CapturedImage>)> done) override {
            done(paintWindowImage(w, h));
            done(std::nullopt);
        }
    };
    World world;
    Stutter stutter(world.desktop.capture);
    auto platform = world.desktop.platform();
    platform::Platform twice{platform.session,       platform.bundles,      platform.codeSigning,
                             platform.workspace,     platform.windowServer, stutter,
                             platform.accessibility, platform.events,       platform.clock,
                             platform.uuids};
    Host host(twice, world.queue);
    int answers = 0;
    std::string code;
    handle(host, twice, "observe", world.targetParams(), [&](Outcome o) {
        ++answers;
        code = codeOf(o);
    });
    world.queue.runAll();
    EXPECT_EQ(answers, 1);
    EXPECT_EQ(code, "ok");
    EXPECT_EQ(host.frames().size(), 1u);
    EXPECT_EQ(world.desktop.capture.captures.size(), 0u);
}

} // namespace
} // namespace host::testing

namespace host::testing {
namespace {

TEST(ObserveWaits, ACaptureCompletingAfterTheHostIsGoneIsDropped) {
    World world;
    world.desktop.capture.hold = true;
    auto queue = std::make_unique<test_support::ManualQueue>();
    auto host = std::make_unique<Host>(world.desktop.platform(), *queue);
    int answers = 0;
    handle(*host, world.desktop.platform(), "observe", world.targetParams(),
           [&](Outcome) { ++answers; });
    world.desktop.capture.releaseNext();
    queue->runAll(); // the capture is now asked for
    ASSERT_EQ(world.desktop.capture.pending(), 1u);
    // The end of the process: the host and then its queue go while the capture is out.
    host.reset();
    queue.reset();
    EXPECT_TRUE(world.desktop.capture.releaseNextOnThread());
    EXPECT_EQ(answers, 0);

    // A completion queued just before the host went finds it gone and does nothing.
    test_support::ManualQueue late;
    auto shortLived = std::make_unique<Host>(world.desktop.platform(), late);
    handle(*shortLived, world.desktop.platform(), "observe", world.targetParams(),
           [&](Outcome) { ++answers; });
    world.desktop.capture.releaseNext();
    late.runAll();
    world.desktop.capture.releaseNext(); // the pixels: a job now waits on `late`
    shortLived.reset();
    EXPECT_EQ(late.runAll(), 1);
    EXPECT_EQ(answers, 0);
}

} // namespace
} // namespace host::testing
