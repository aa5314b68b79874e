#pragma once
// JSON as both programs read and write it: nlohmann::json, whose default object type
// keeps keys sorted, so a compact dump is already in the order the clients expect.

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

namespace common {

using Json = nlohmann::json;

// Exactly one JSON text, UTF-8, with nothing but JSON whitespace around it.
// Returns nothing for anything else; never throws. Nesting depth and number size
// are bounded by the parser's own iterative design and by `double` conversion.
std::optional<Json> parseStrict(std::string_view text);

// Compact text with keys sorted at every depth; invalid UTF-8 in strings (which only
// platform-supplied text can carry) is replaced by U+FFFD rather than failing.
std::string compact(const Json& value);

} // namespace common
