#pragma once
// Running the image path as the job driver does, and reading what it wrote.

#include "attachments/failure.h"
#include "attachments/image/process_image.h"
#include "image_fixtures.h"
#include "tests/support/jpeg_decode.h"
#include "tests/support/scratch_dir.h"

#include <optional>
#include <stdexcept>
#include <string>

namespace fixtures {

using test_support::ScratchDir;

// The JPEG written by the image path, its pixels read as Rgba so that they compare with
// the pictures the fixtures wrote.
struct Decoded : test_support::RgbImage {
    Rgba at(int x, int y) const {
        const auto pixel = RgbImage::at(x, y);
        return {static_cast<std::uint8_t>(pixel.r), static_cast<std::uint8_t>(pixel.g),
                static_cast<std::uint8_t>(pixel.b), 255};
    }
};

inline Decoded readJpeg(const std::filesystem::path& path) {
    auto image = test_support::readJpeg(path.string());
    if (!image) throw std::runtime_error("cannot read the JPEG " + path.string());
    return {std::move(*image)};
}

inline constexpr const char* kUnsupported = "Unsupported, animated or damaged image";
inline constexpr const char* kCannotPrepare = "Cannot prepare image";

// The failure message, or nothing when the path succeeded.
template <typename Run> std::optional<std::string> failureOf(Run&& run) {
    try {
        run();
    } catch (const attachments::Failure& failure) {
        return failure.message;
    }
    return std::nullopt;
}

inline common::Json inspect(const std::filesystem::path& input) {
    return attachments::processImage(common::Json::object(), input.string(), "inspect");
}

// Prepares `input` into `dir` and returns the decoded image.jpg.
inline Decoded prepare(const std::filesystem::path& input, const std::filesystem::path& dir) {
    const common::Json job = {{"output", dir.string()}};
    attachments::processImage(job, input.string(), "prepare");
    return readJpeg(dir / "image.jpg");
}

// Channels within `tolerance` of each other (JPEG is lossy).
inline bool near(Rgba a, Rgba b, int tolerance = 12) {
    auto close = [&](int x, int y) { return x - y <= tolerance && y - x <= tolerance; };
    return close(a.r, b.r) && close(a.g, b.g) && close(a.b, b.b);
}

inline constexpr Rgba kRed{230, 20, 20, 255};
inline constexpr Rgba kGreen{20, 200, 20, 255};
inline constexpr Rgba kGrey{128, 128, 128, 255};
inline constexpr Rgba kWhite{255, 255, 255, 255};

// Stored 60 × 40, grey, with a red block at the stored top-left corner and a green block
// at the stored top-right corner: enough to tell all eight orientations apart.
inline Picture markedPicture() {
    return makePicture(60, 40, [](int x, int y) {
        if (y < 10 && x < 10) return kRed;
        if (y < 10 && x >= 50) return kGreen;
        return kGrey;
    });
}

enum Corner { TopLeft, TopRight, BottomLeft, BottomRight };

inline Rgba corner(const Decoded& image, Corner c) {
    const int x = (c == TopLeft || c == BottomLeft) ? 3 : image.width - 4;
    const int y = (c == TopLeft || c == TopRight) ? 3 : image.height - 4;
    return image.at(x, y);
}

} // namespace fixtures
