#pragma once
// A page's text as the report carries it.

#include <cstddef>
#include <string>
#include <string_view>

namespace attachments {

constexpr std::size_t maxTextGraphemes = 60001;

// MuPDF writes a character beyond the Basic Multilingual Plane that a font's ToUnicode map
// gives as UTF-16 (every emoji sequence longer than one character) as two surrogate code
// points, each encoded on its own in three bytes, which is not UTF-8. Such pairs become
// the one four-byte character they stand for, and a surrogate without its partner
// becomes U+FFFD; everything else is kept as it is.
std::string joinSurrogatePairs(std::string_view text);

// `extracted` with its surrogate pairs joined, cut to its first 60001 user-perceived
// characters (an emoji sequence is one).
std::string pageText(std::string_view extracted);

} // namespace attachments
