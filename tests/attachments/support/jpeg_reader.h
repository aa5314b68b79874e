#pragma once
// Reads a written JPEG back, so tests can check its size and pixels.

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace attachments::testing {

struct DecodedJpeg {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb; // width * height * 3 bytes, rows top to bottom

    // The pixel at (x, y) as {r, g, b}.
    std::array<int, 3> at(int x, int y) const {
        std::size_t i = (static_cast<std::size_t>(y) * width + x) * 3;
        return {rgb[i], rgb[i + 1], rgb[i + 2]};
    }
};

// Nothing when the file is missing or is not a JPEG.
std::optional<DecodedJpeg> readJpeg(const std::string& path);

} // namespace attachments::testing
