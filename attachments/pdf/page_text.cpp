#include "attachments/pdf/page_text.h"

#include "common/graphemes.h"

namespace attachments {
namespace {

// The surrogate code point encoded at `at` as three bytes (ED A0..BF 80..BF), or 0.
unsigned surrogateAt(std::string_view text, std::size_t at) {
    if (at + 3 > text.size()) return 0;
    const auto b0 = static_cast<unsigned char>(text[at]);
    const auto b1 = static_cast<unsigned char>(text[at + 1]);
    const auto b2 = static_cast<unsigned char>(text[at + 2]);
    if (b0 != 0xED || b1 < 0xA0 || b1 > 0xBF || (b2 & 0xC0) != 0x80) return 0;
    return 0xD000u | ((b1 & 0x3Fu) << 6) | (b2 & 0x3Fu);
}

bool isHigh(unsigned unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool isLow(unsigned unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

void appendUtf8(std::string& out, char32_t c) {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
}

} // namespace

std::string joinSurrogatePairs(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t at = 0;
    while (at < text.size()) {
        const unsigned unit = surrogateAt(text, at);
        if (unit == 0) {
            out.push_back(text[at++]);
            continue;
        }
        const unsigned next = isHigh(unit) ? surrogateAt(text, at + 3) : 0;
        if (isLow(next)) {
            appendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00));
            at += 6;
        } else {
            out += "\xEF\xBF\xBD"; // U+FFFD
            at += 3;
        }
    }
    return out;
}

std::string pageText(std::string_view extracted) {
    const std::string joined = joinSurrogatePairs(extracted);
    return std::string(common::firstGraphemes(joined, maxTextGraphemes));
}

} // namespace attachments
