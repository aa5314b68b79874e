#include "common/json.h"

namespace common {

std::optional<Json> parseStrict(std::string_view text) {
    // The parser takes a NUL byte for the end of input; JSON allows none outside escapes.
    if (text.find('\0') != std::string_view::npos) return std::nullopt;
    Json value = Json::parse(text.begin(), text.end(), nullptr, /*allow_exceptions=*/false,
                             /*ignore_comments=*/false);
    if (value.is_discarded()) return std::nullopt;
    return value;
}

std::string compact(const Json& value) {
    return value.dump(-1, ' ', /*ensure_ascii=*/false, Json::error_handler_t::replace);
}

} // namespace common
