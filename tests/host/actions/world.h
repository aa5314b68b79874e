#pragma once
// A host over the fake desktop with one application set up the way a real turn finds it:
// a sealed bundle, one running instance, one ordinary window in front with keyboard focus.
// Tests break single facts of it and see which code wins.

#include "host/base/main_queue.h"
#include "host/base/outcome.h"
#include "host/platform/fake/fake_desktop.h"
#include "host/session/host.h"
#include "tests/support/jpeg_decode.h"
#include "tests/support/manual_queue.h"

#include <deque>
#include <functional>
#include <optional>
#include <string>

namespace host::testing {

using namespace host::platform::fake;

using TestQueue = test_support::ManualQueue;
using test_support::decodeBase64;
using test_support::decodeJpeg;

// "ok" for a result, the error code otherwise, "" when no answer came.
std::string codeOf(const std::optional<Outcome>& outcome);

inline constexpr std::int32_t kPid = 501;
inline constexpr std::uint32_t kWindow = 42;
inline const platform::Rect kBounds{100, 120, 800, 600};

struct World {
    World();

    FakeDesktop desktop;
    TestQueue queue;
    Host host{desktop.platform(), queue};
    FakeAppSpec notes{"/Applications/Notes.app", "com.example.notes", "Notes", "TEAM123456"};
    NodePtr focusedWindow;
    common::Json app; // as `identity` answered it

    // Runs one request through the host and the queue to its answer.
    std::optional<Outcome> call(const std::string& method, const common::Json& params);
    std::string codeFor(const std::string& method, const common::Json& params) {
        return codeOf(call(method, params));
    }
    common::Json targetParams() const;                           // {app, target}
    common::Json observed();                                     // a successful observe's result
    common::Json actionParams(const std::string& frameId) const; // {app, target, frameId}
};

} // namespace host::testing
