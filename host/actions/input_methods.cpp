#include "host/actions/input_methods.h"

#include "host/actions/input_bodies.h"
#include "host/actions/preflight.h"
#include "host/inventory/target.h"
#include "host/session/host_error.h"

namespace host {

common::Json runInputMethod(Host& host, std::string_view method, const common::Json& params) {
    const auto resolved = target(host, params);
    auto context = prepareAction(host, resolved, params);
    if (method == "click") return click(host, params, context);
    if (method == "type_text") return typeText(host, params, context);
    if (method == "scroll") return scroll(host, params, context);
    if (method == "press_key") return pressKey(host, params, context);
    throw HostError{"unknown_method"};
}

} // namespace host
