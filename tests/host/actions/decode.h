#pragma once
// Decoding what the host encodes, with libraries other than the encoding path uses.

#include <optional>
#include <string>
#include <vector>

namespace host::testing {

// Strict standard base64 (padded, no line breaks); nothing for anything else.
std::optional<std::vector<unsigned char>> decodeBase64(const std::string& text);

struct DecodedJpeg {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb; // three bytes a pixel
};
std::optional<DecodedJpeg> decodeJpeg(const std::vector<unsigned char>& bytes);

} // namespace host::testing
