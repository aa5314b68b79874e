#include "host/actions/dispatcher.h"

#include "host/actions/input_methods.h"
#include "host/actions/observe.h"
#include "host/actions/params.h"
#include "host/inventory/identity.h"
#include "host/inventory/windows.h"
#include "host/session/host.h"
#include "host/session/host_error.h"

#include <memory>
#include <utility>

namespace host {
namespace {

std::string pathOf(const common::Json& params) {
    return params::string(params, "path").value_or("");
}

common::Json listWindows(Host& host, const common::Json& params) {
    auto app = params::object(params, "app").value_or(common::Json::object());
    return common::Json{{"windows", windows(host, app)}};
}

common::Json permission(Host& host, const common::Json& params) {
    const auto kind = params::string(params, "kind");
    auto& session = host.platform().session;
    // The prompt's answer arrives later, if at all; the snapshot is taken right away.
    if (kind == "screen")
        session.requestScreenCapture();
    else if (kind == "accessibility")
        session.requestAccessibility();
    else
        throw HostError{"invalid_permission"};
    return host.state();
}

common::Json clear(Host& host) {
    host.frames().clearFrames();
    return common::Json{{"cleared", true}};
}

// Tests the name against the method table in its order; an unknown name is refused before
// any parameter is read.
void dispatch(Host& host, const std::string& method, const common::Json& params,
              const Reply& reply) {
    if (method == "status") return reply(host.state());
    if (method == "identity") return reply(identity(host.platform(), pathOf(params)));
    if (method == "permission") return reply(permission(host, params));
    if (method == "windows") return reply(listWindows(host, params));
    if (method == "clear") return reply(clear(host));
    if (method == "observe") return observe(host, params, reply);
    if (method == "click") return reply(runInputMethod(host, method, params));
    if (method == "type_text") return reply(runInputMethod(host, method, params));
    if (method == "scroll") return reply(runInputMethod(host, method, params));
    if (method == "press_key") return reply(runInputMethod(host, method, params));
    throw HostError{"unknown_method"};
}

} // namespace

void Host::handle(const std::string& method, const common::Json& params, Reply reply) {
    // However a method ends (a result, a HostError, any other exception, or a reply handed
    // on to a later job), the channel hears from it exactly once.
    auto replied = std::make_shared<bool>(false);
    Reply once = [replied, reply = std::move(reply)](Outcome outcome) {
        if (std::exchange(*replied, true)) return;
        reply(std::move(outcome));
    };
    try {
        dispatch(*this, method, params, once);
    } catch (const HostError& error) {
        once(error);
    } catch (...) {
        once(EngineFailure{});
    }
}

} // namespace host
