#pragma once
// COMPOUND_TEXT (the X Consortium's encoding of window titles in WM_NAME) to UTF-8: ISO 2022
// segments of ASCII and the ISO 8859 right halves, the 94x94 sets of Chinese, Japanese and
// Korean, and UTF-8 segments (ESC % G ... ESC % @), which libX11 writes for anything else.

#include <optional>
#include <string>
#include <string_view>

namespace host::platform::x11 {

// Nothing when the text is not well formed or uses a character set this does not read.
std::optional<std::string> compoundTextToUtf8(std::string_view text);

} // namespace host::platform::x11
