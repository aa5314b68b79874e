#include "host/platform/linux/x11/compound_text.h"

#include "host/platform/linux/glib/glib_handles.h"

#include <glib.h>

namespace host::platform::x11 {
namespace {

constexpr char kEscape = '\x1b';

// The iconv name of a 96-character set designated to GR by ESC - F.
const char* rightHalfOf(char final) {
    switch (final) {
    case 'A':
        return "ISO-8859-1";
    case 'B':
        return "ISO-8859-2";
    case 'C':
        return "ISO-8859-3";
    case 'D':
        return "ISO-8859-4";
    case 'F':
        return "ISO-8859-7";
    case 'G':
        return "ISO-8859-6";
    case 'H':
        return "ISO-8859-8";
    case 'L':
        return "ISO-8859-5";
    case 'M':
        return "ISO-8859-9";
    default:
        return nullptr;
    }
}

// The EUC encoding that carries a 94x94 set designated by ESC $ ( F or ESC $ ) F; in EUC
// form every byte has its high bit set, whichever half the set was designated to.
const char* doubleByteSetOf(char final) {
    switch (final) {
    case 'A':
        return "EUC-CN"; // GB 2312
    case 'B':
        return "EUC-JP"; // JIS X 0208
    case 'C':
        return "EUC-KR"; // KS C 5601
    default:
        return nullptr;
    }
}

bool append(std::string& out, std::string_view bytes, const char* charset) {
    if (bytes.empty()) return true;
    glib::GCharRef converted(g_convert(bytes.data(), static_cast<gssize>(bytes.size()), "UTF-8",
                                       charset, nullptr, nullptr, nullptr));
    if (!converted) return false;
    out += converted.get();
    return true;
}

// What a half (GL or GR) of the code table holds now.
struct Half {
    const char* charset = nullptr; // null: ASCII (GL only)
    bool wide = false;             // a 94x94 set in EUC form
};

// Decodes bytes of one half. GL bytes of a wide set get the high bit EUC gives them.
bool decode(std::string& out, std::string_view bytes, const Half& half) {
    if (!half.charset) {
        out += bytes;
        return true;
    }
    std::string encoded(bytes);
    if (half.wide)
        for (char& byte : encoded)
            byte = static_cast<char>(byte | 0x80);
    return append(out, encoded, half.charset);
}

} // namespace

std::optional<std::string> compoundTextToUtf8(std::string_view text) {
    std::string out;
    Half left;                       // ASCII at the start
    Half right{"ISO-8859-1", false}; // the Latin-1 right half at the start
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == kEscape) {
            const std::string_view rest = text.substr(i);
            if (rest.starts_with("\x1b(B")) {
                left = {};
                i += 3;
            } else if (rest.size() >= 3 && rest[1] == '-') {
                right = {rightHalfOf(rest[2]), false};
                if (!right.charset) return std::nullopt;
                i += 3;
            } else if (rest.size() >= 4 && rest[1] == '$' && (rest[2] == '(' || rest[2] == ')')) {
                const Half wide{doubleByteSetOf(rest[3]), true};
                if (!wide.charset) return std::nullopt;
                (rest[2] == '(' ? left : right) = wide;
                i += 4;
            } else if (rest.starts_with("\x1b%G")) { // UTF-8 up to ESC % @
                const auto end = text.find("\x1b%@", i + 3);
                const auto segment = end == std::string_view::npos
                                         ? text.substr(i + 3)
                                         : text.substr(i + 3, end - i - 3);
                if (!g_utf8_validate(segment.data(), static_cast<gssize>(segment.size()), nullptr))
                    return std::nullopt;
                out += segment;
                i = end == std::string_view::npos ? text.size() : end + 3;
            } else {
                return std::nullopt;
            }
            continue;
        }
        // A run of bytes of one half; controls, space and delete are themselves.
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte <= 0x20 || byte == 0x7F) {
            out += text[i++];
            continue;
        }
        const bool high = byte >= 0x80;
        std::size_t end = i;
        while (end < text.size() && text[end] != kEscape) {
            const auto next = static_cast<unsigned char>(text[end]);
            if (next <= 0x20 || next == 0x7F || (next >= 0x80) != high) break;
            ++end;
        }
        if (!decode(out, text.substr(i, end - i), high ? right : left)) return std::nullopt;
        i = end;
    }
    return out;
}

} // namespace host::platform::x11
