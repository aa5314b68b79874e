#pragma once
// Decoding of the host's base64 JPEG answers, to look at what was captured.

#include <optional>
#include <string>
#include <vector>

namespace desktop_test {

struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb; // three bytes a pixel, rows packed
    struct Rgb {
        int r, g, b;
    };
    Rgb at(int x, int y) const {
        const unsigned char* p = rgb.data() + (static_cast<std::size_t>(y) * width + x) * 3;
        return {p[0], p[1], p[2]};
    }
};

std::optional<std::vector<unsigned char>> decodeBase64(const std::string& text);
std::optional<RgbImage> decodeJpeg(const std::vector<unsigned char>& bytes);

} // namespace desktop_test
