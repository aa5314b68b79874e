#pragma once
// Routing of the four input methods: resolve the target, pass the preflight (which uses up
// the request's frame), then run the method's own steps.

#include "common/json.h"

#include <string_view>

namespace host {

class Host;

// `method` is one of "click", "type_text", "scroll", "press_key". Returns {"completed":
// true} or throws HostError.
common::Json runInputMethod(Host& host, std::string_view method, const common::Json& params);

} // namespace host
