#pragma once
// One request line, as read: the wire protocol's envelope around a method call.

#include "common/json.h"

#include <optional>
#include <string>
#include <string_view>

namespace host {

struct Request {
    std::string id;
    std::string method;
    common::Json params; // always an object
};

// Reads the bytes of one line (without its line feed; a trailing CR is JSON whitespace).
// Nothing when the line is not exactly one JSON object with string `id` and `method`
// (a leading byte order mark counts as text around it); `params` other than an object
// reads as an empty object.
std::optional<Request> readRequest(std::string_view line);

} // namespace host
