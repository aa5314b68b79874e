#include "host/actions/input_bodies.h"

#include "common/graphemes.h"
#include "host/actions/ax_values.h"
#include "host/base/host_error.h"
#include "host/base/params.h"

namespace host {
namespace {

constexpr std::size_t kTextLimit = 2000; // user-perceived characters

} // namespace

common::Json typeText(Platform& platform, const common::Json& params, ActionContext& context) {
    const auto text = params::string(params, "text");
    if (!text || common::countGraphemes(*text) > kTextLimit) fail(ErrorCode::InvalidText);

    auto& ax = platform.accessibility;
    auto focusedRead = ax.copyAttribute(*context.application, "AXFocusedUIElement");
    if (focusedRead.status != platform::AxStatus::Success) fail(ErrorCode::NoFocusedField);
    auto field = elementValue(focusedRead);
    if (!field) fail(ErrorCode::NoFocusedField);

    // All three are read before any is judged; their statuses do not count.
    auto role = stringValue(ax.copyAttribute(*field, "AXRole"));
    auto subrole = stringValue(ax.copyAttribute(*field, "AXSubrole"));
    auto windowRead = ax.copyAttribute(*field, "AXWindow");
    auto window = elementValue(windowRead);

    const HostError refused{ErrorCode::UnsupportedTextField};
    if (role != "AXTextField" && role != "AXTextArea") throw refused;
    if (subrole == "AXSecureTextField") throw refused; // never a password field
    if (!window || !ax.equal(*window, *context.focusedWindow)) throw refused;
    if (ax.setStringAttribute(*field, "AXValue", *text) != platform::AxStatus::Success)
        throw refused;
    return completed();
}

} // namespace host
