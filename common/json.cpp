#include "common/json.h"

#include <vector>

namespace common {

std::optional<Json> parseStrict(std::string_view text) {
    // The parser takes a NUL byte for the end of input; JSON allows none outside escapes.
    if (text.find('\0') != std::string_view::npos) return std::nullopt;
    Json value = Json::parse(text.begin(), text.end(), nullptr, /*allow_exceptions=*/false,
                             /*ignore_comments=*/false);
    if (value.is_discarded()) return std::nullopt;
    return value;
}

namespace {

// Printable ASCII other than the quote and the backslash: written exactly as it stands. The
// base64 of an image, most of an answer's bytes, is all of this kind.
bool isPlain(std::string_view text) {
    bool plain = true;
    for (unsigned char c : text)
        plain &= c >= 0x20 && c <= 0x7e && c != '"' && c != '\\';
    return plain;
}

std::string libraryText(const Json& value) {
    return value.dump(-1, ' ', /*ensure_ascii=*/false, Json::error_handler_t::replace);
}

void appendString(std::string& out, const std::string& text) {
    if (!isPlain(text)) {
        out += libraryText(Json(text));
        return;
    }
    out += '"';
    out += text;
    out += '"';
}

} // namespace

// The library's own writer escapes byte by byte; this one copies plain strings whole and
// leaves everything else (escapes, numbers, replacement of bad UTF-8) to the library, so
// the text is the library's to the byte. Containers are walked with an explicit stack, as
// values may be nested deeper than a thread's stack allows recursion.
std::string compact(const Json& value) {
    struct Open {
        const Json* container;
        Json::const_iterator next;
        bool first = true;
    };
    std::string out;
    std::vector<Open> open;
    auto put = [&](const Json& item) {
        if (item.is_object()) {
            out += '{';
            open.push_back({&item, item.cbegin()});
        } else if (item.is_array()) {
            out += '[';
            open.push_back({&item, item.cbegin()});
        } else if (item.is_string()) {
            appendString(out, item.get_ref<const std::string&>());
        } else {
            out += libraryText(item);
        }
    };
    put(value);
    while (!open.empty()) {
        Open& top = open.back();
        if (top.next == top.container->cend()) {
            out += top.container->is_object() ? '}' : ']';
            open.pop_back();
            continue;
        }
        if (!top.first) out += ',';
        top.first = false;
        if (top.container->is_object()) {
            appendString(out, top.next.key());
            out += ':';
        }
        const Json& item = *top.next;
        ++top.next;
        put(item); // may grow the stack: `top` is not used after this
    }
    return out;
}

} // namespace common
