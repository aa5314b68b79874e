#pragma once
// The method table of the host, and `handle`, which selects a request's method in the
// table's order and runs it.

#include "common/json.h"
#include "host/base/outcome.h"
#include "host/platform/platform.h"

#include <string>
#include <string_view>
#include <vector>

namespace host {

class Host;

// The names of the method table, in the order in which a request's method name is tested.
std::vector<std::string_view> methodNames();

// Runs one request; `reply` is called exactly once, on the main thread (later for methods
// that wait for the platform). An unknown name is refused before any parameter is read.
void handle(Host& host, platform::Platform& platform, const std::string& method,
            const common::Json& params, Reply reply);

} // namespace host
