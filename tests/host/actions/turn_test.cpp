// A whole turn of the assistant through the real channel: request lines on a pipe, the
// reading thread, the main loop, answer lines on another pipe.

#include "acting.h"
#include "tests/support/jpeg_decode.h"

#include "host/base/plain_main_loop.h"
#include "host/channel/serve.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <thread>
#include <unistd.h>

namespace host::testing {
namespace {

class Pipes {
public:
    Pipes() {
        if (::pipe(toHost_) != 0 || ::pipe(fromHost_) != 0) throw std::runtime_error("pipe");
    }
    ~Pipes() {
        for (int fd : {toHost_[0], toHost_[1], fromHost_[0], fromHost_[1]})
            if (fd >= 0) ::close(fd);
    }
    int hostIn() const { return toHost_[0]; }
    int hostOut() const { return fromHost_[1]; }
    void send(const common::Json& request) {
        const auto line = common::compact(request) + "\n";
        ASSERT_EQ(::write(toHost_[1], line.data(), line.size()), ssize_t(line.size()));
    }
    void endInput() {
        ::close(toHost_[1]);
        toHost_[1] = -1;
    }
    // The next answer line, waiting at most a few seconds for it.
    common::Json answer() {
        std::size_t end;
        while ((end = pending_.find('\n')) == std::string::npos) {
            pollfd ready{fromHost_[0], POLLIN, 0};
            if (::poll(&ready, 1, 5000) != 1) return nullptr;
            char chunk[65536];
            const auto n = ::read(fromHost_[0], chunk, sizeof chunk);
            if (n <= 0) return nullptr;
            pending_.append(chunk, static_cast<std::size_t>(n));
        }
        auto parsed = common::parseStrict(std::string_view(pending_).substr(0, end));
        pending_.erase(0, end + 1);
        return parsed ? *parsed : common::Json();
    }

private:
    int toHost_[2] = {-1, -1};
    int fromHost_[2] = {-1, -1};
    std::string pending_;
};

TEST(Turn, IdentityWindowsObserveClickThroughTheChannel) {
    Acting world; // its own host stays idle; the served host is a second one on the desktop
    Pipes pipes;
    std::thread served([&] {
        PlainMainLoop loop; // outlives the fake desktop's pending work: there is none
        serve(loop, world.desktop.platform(), pipes.hostIn(), pipes.hostOut(), [] {});
    });

    pipes.send({{"id", "1"}, {"method", "identity"}, {"params", {{"path", world.notes.location}}}});
    auto identity = pipes.answer();
    ASSERT_TRUE(identity.contains("result")) << identity;
    const auto app = identity["result"];
    EXPECT_EQ(app["name"], "Notes");

    pipes.send({{"id", "2"}, {"method", "windows"}, {"params", {{"app", app}}}});
    auto listing = pipes.answer();
    ASSERT_EQ(listing["result"]["windows"].size(), 1u) << listing;
    const auto window = listing["result"]["windows"][0];
    const common::Json target = {{"windowId", window["windowId"]}, {"pid", window["pid"]}};

    pipes.send(
        {{"id", "3"}, {"method", "observe"}, {"params", {{"app", app}, {"target", target}}}});
    auto observed = pipes.answer();
    ASSERT_EQ(observed["id"], "3");
    ASSERT_TRUE(observed.contains("result")) << observed.dump().substr(0, 200);
    const auto image = decodeJpeg(*decodeBase64(observed["result"]["image"]));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, observed["result"]["width"]);

    const common::Json click = {{"app", app},
                                {"target", target},
                                {"frameId", observed["result"]["frameId"]},
                                {"x", 20},
                                {"y", 30}};
    pipes.send({{"id", "4"}, {"method", "click"}, {"params", click}});
    EXPECT_EQ(pipes.answer(), (common::Json{{"id", "4"}, {"result", {{"completed", true}}}}));
    pipes.send({{"id", "5"}, {"method", "click"}, {"params", click}});
    EXPECT_EQ(pipes.answer(), (common::Json{{"id", "5"}, {"error", "stale_frame"}}));

    pipes.endInput();
    served.join();
    EXPECT_EQ(world.button->performed, std::vector<std::string>{"AXPress"});
}

} // namespace
} // namespace host::testing
