#include "host/actions/dispatcher.h"

#include "host/actions/input_bodies.h"
#include "host/actions/observe.h"
#include "host/actions/preflight.h"
#include "host/base/host_error.h"
#include "host/base/params.h"
#include "host/inventory/identity.h"
#include "host/inventory/target.h"
#include "host/inventory/windows.h"
#include "host/session/host.h"

#include <memory>
#include <utility>
#include <variant>

namespace host {
namespace {

using platform::Platform;

// A method answers at once, answers later (it waits for the platform), or is an input
// method, whose own steps run once its target is resolved and the preflight has passed.
using Immediate = common::Json (*)(Host&, Platform&, const common::Json& params);
using Waiting = void (*)(Host&, Platform&, const common::Json& params, Reply reply);
using Input = common::Json (*)(Platform&, const common::Json& params, ActionContext& context);

struct Method {
    std::string_view name;
    std::variant<Immediate, Waiting, Input> run;
};

common::Json status(Host& host, Platform&, const common::Json&) {
    return host.state();
}

common::Json identityMethod(Host&, Platform& platform, const common::Json& params) {
    return identity(platform, params::string(params, "path").value_or(""));
}

common::Json permission(Host& host, Platform& platform, const common::Json& params) {
    const auto kind = params::string(params, "kind");
    // The prompt's answer arrives later, if at all; the snapshot is taken right away.
    if (kind == "screen")
        platform.session.requestScreenCapture();
    else if (kind == "accessibility")
        platform.session.requestAccessibility();
    else
        fail(ErrorCode::InvalidPermission);
    return host.state();
}

common::Json listWindows(Host& host, Platform& platform, const common::Json& params) {
    auto app = params::object(params, "app").value_or(common::Json::object());
    auto list = common::Json::array();
    for (const auto& window : windows(host, platform, app))
        list.push_back(windowObject(window));
    return common::Json{{"windows", std::move(list)}};
}

common::Json clear(Host& host, Platform&, const common::Json&) {
    host.frames().clearFrames();
    return common::Json{{"cleared", true}};
}

const Method kMethods[] = {
    {"status", Immediate{status}},
    {"identity", Immediate{identityMethod}},
    {"permission", Immediate{permission}},
    {"windows", Immediate{listWindows}},
    {"clear", Immediate{clear}},
    {"observe", Waiting{observe}},
    {"click", Input{click}},
    {"type_text", Input{typeText}},
    {"scroll", Input{scroll}},
    {"press_key", Input{pressKey}},
};

struct Run {
    Host& host;
    Platform& platform;
    const common::Json& params;
    const Reply& reply;

    void operator()(Immediate method) const { reply(method(host, platform, params)); }
    void operator()(Waiting method) const { method(host, platform, params, reply); }
    void operator()(Input body) const {
        const auto resolved = target(host, platform, params);
        auto context = prepareAction(host, platform, resolved, params);
        reply(body(platform, params, context));
    }
};

} // namespace

std::vector<std::string_view> methodNames() {
    std::vector<std::string_view> names;
    for (const auto& entry : kMethods)
        names.push_back(entry.name);
    return names;
}

void handle(Host& host, Platform& platform, const std::string& method, const common::Json& params,
            Reply reply) {
    // However a method ends (a result, a HostError, any other exception, or a reply handed
    // on to a later job), the channel hears from it exactly once.
    auto replied = std::make_shared<bool>(false);
    Reply once = [replied, reply = std::move(reply)](Outcome outcome) {
        if (std::exchange(*replied, true)) return;
        reply(std::move(outcome));
    };
    try {
        for (const auto& entry : kMethods)
            if (entry.name == method)
                return std::visit(Run{host, platform, params, once}, entry.run);
        fail(ErrorCode::UnknownMethod);
    } catch (const HostError& error) {
        once(error);
    } catch (...) {
        once(EngineFailure{});
    }
}

} // namespace host
