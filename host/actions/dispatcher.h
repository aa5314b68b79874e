#pragma once
// The method table of the host, in the order in which a request's method name is tested.
// `Host::handle` (dispatcher.cpp) selects the method and runs it.

#include <array>
#include <string_view>

namespace host {

inline constexpr std::array<std::string_view, 10> methodNames{
    "status",  "identity", "permission", "windows", "clear",
    "observe", "click",    "type_text",  "scroll",  "press_key"};

} // namespace host
