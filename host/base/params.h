#pragma once
// Lenient reading of request parameters: a missing key, a JSON null or a value of another
// type is absent. Booleans are not numbers.

#include "common/json.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace host::params {

std::optional<std::string> string(const common::Json& params, std::string_view key);
// A copy of the member, made without recursion so that any nesting depth is safe.
std::optional<common::Json> object(const common::Json& params, std::string_view key);
// Any JSON number, integral or fractional, as a double.
std::optional<double> number(const common::Json& params, std::string_view key);
// An integral JSON number within the type's range (42.0 is 42; 42.5 and -1 are absent).
std::optional<std::uint32_t> u32(const common::Json& params, std::string_view key);
std::optional<std::int32_t> i32(const common::Json& params, std::string_view key);

// Copies `value` with an explicit stack: request values may be nested tens of thousands
// deep, more than the recursive copy constructor can take on the main thread's stack.
common::Json deepCopy(const common::Json& value);

} // namespace host::params
