#pragma once
// Taking apart what an accessibility read yields. Callers decide whether the status counts.

#include "host/platform/accessibility_port.h"

#include <optional>
#include <string>

namespace host {

// The element the read yielded; nothing when it yielded no value or a value of another kind.
inline platform::ElementRef elementValue(platform::AttributeResult& read) {
    if (!read.value) return nullptr;
    auto* element = std::get_if<platform::ElementRef>(&*read.value);
    return element ? std::move(*element) : nullptr;
}

// The string the read yielded; nothing for no value or another kind.
inline std::optional<std::string> stringValue(const platform::AttributeResult& read) {
    if (!read.value) return std::nullopt;
    auto* text = std::get_if<std::string>(&*read.value);
    return text ? std::optional<std::string>(*text) : std::nullopt;
}

} // namespace host
