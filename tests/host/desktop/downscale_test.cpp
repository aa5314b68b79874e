// Resampling of captured pixels to the size the host asks for.

#include "host/platform/linux/x11/downscale.h"

#include <gtest/gtest.h>

using host::platform::x11::PixelView;
using host::platform::x11::resample;

namespace {

// Pixels of one grey level each (B = G = R = level, X = 0), `stride` bytes a row.
std::vector<unsigned char> grey(const std::vector<std::vector<int>>& levels, std::size_t stride) {
    std::vector<unsigned char> bytes(stride * levels.size(), 0);
    for (std::size_t y = 0; y < levels.size(); ++y)
        for (std::size_t x = 0; x < levels[y].size(); ++x)
            for (int c = 0; c < 3; ++c)
                bytes[y * stride + x * 4 + c] = static_cast<unsigned char>(levels[y][x]);
    return bytes;
}

std::vector<int> levelsOf(const std::vector<unsigned char>& out) {
    std::vector<int> levels;
    for (std::size_t i = 0; i < out.size(); i += 4) {
        EXPECT_EQ(out[i], out[i + 1]);
        EXPECT_EQ(out[i], out[i + 2]);
        EXPECT_EQ(out[i + 3], 255) << "the fourth byte is always opaque";
        levels.push_back(out[i]);
    }
    return levels;
}

} // namespace

TEST(Resample, SameSizeCopiesRowsOfAnyStride) {
    auto pixels = grey({{1, 2, 3}, {4, 5, 6}}, 16); // 4 bytes of padding a row
    auto out = resample(PixelView{pixels.data(), 3, 2, 16}, 3, 2);
    EXPECT_EQ(levelsOf(out), (std::vector<int>{1, 2, 3, 4, 5, 6}));
}

TEST(Resample, ShrinkingAveragesTheAreaUnderEachPixel) {
    struct Case {
        std::vector<std::vector<int>> in;
        int width, height;
        std::vector<int> expected;
    };
    const Case cases[] = {
        {{{0, 100, 200, 40}, {100, 100, 0, 40}}, 2, 1, {75, 70}}, // 2 × 2 blocks
        {{{0, 90, 180}}, 2, 1, {30, 150}},                        // 1.5 source pixels each
        {{{10, 20, 30, 40, 50, 60}}, 1, 1, {35}},                 // the whole row
        {{{255, 255}, {255, 255}}, 1, 1, {255}},                  // no overshoot
    };
    for (const Case& c : cases) {
        const int w = static_cast<int>(c.in[0].size()), h = static_cast<int>(c.in.size());
        auto pixels = grey(c.in, static_cast<std::size_t>(w) * 4);
        auto out = resample(PixelView{pixels.data(), w, h, static_cast<std::size_t>(w) * 4},
                            c.width, c.height);
        EXPECT_EQ(levelsOf(out), c.expected);
    }
}

TEST(Resample, EnlargingInterpolatesBetweenNeighbours) {
    auto pixels = grey({{0, 200}}, 8);
    auto out = resample(PixelView{pixels.data(), 2, 1, 8}, 4, 1);
    EXPECT_EQ(levelsOf(out), (std::vector<int>{0, 50, 150, 200}));
}

TEST(Resample, EmptySourceGivesABlackPictureOfTheAskedSize) {
    auto out = resample(PixelView{nullptr, 0, 0, 0}, 3, 2);
    EXPECT_EQ(out.size(), 3u * 2 * 4);
}
