#include "host/channel/request.h"

#include <utility>

namespace host {

namespace {

// U+FEFF in UTF-8. The JSON reader skips it at the start of its input; on the wire it is
// neither whitespace nor JSON, so a line led by it is no request.
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

} // namespace

std::optional<Request> readRequest(std::string_view line) {
    if (line.starts_with(kByteOrderMark)) return std::nullopt;
    auto value = common::parseStrict(line);
    if (!value || !value->is_object()) return std::nullopt;
    auto id = value->find("id");
    if (id == value->end() || !id->is_string()) return std::nullopt;
    auto method = value->find("method");
    if (method == value->end() || !method->is_string()) return std::nullopt;
    Request request{std::move(id->get_ref<std::string&>()),
                    std::move(method->get_ref<std::string&>()), common::Json::object()};
    // Moved, not copied: a copy would recurse once per nesting level of the parameters.
    auto params = value->find("params");
    if (params != value->end() && params->is_object()) request.params = std::move(*params);
    return request;
}

} // namespace host
