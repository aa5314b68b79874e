// Resampling of captured pixels to the size the host asks for.

#include "host/platform/linux/downscale.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>

using host::platform::linux_desktop::PixelView;
using host::platform::linux_desktop::resample;

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

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> bgrx; // rows of width × 4 bytes
    PixelView view() const { return {bgrx.data(), width, height, std::size_t(width) * 4}; }
};

// A window full of text: dark glyphs of one-pixel strokes on a light page, in lines of
// 16-pixel cells, with a coloured heading line every few lines and a little anti-aliasing
// grey at some stroke ends, as rendered text has.
Picture textPage(int width, int height) {
    Picture page{width, height, std::vector<unsigned char>(std::size_t(width) * height * 4, 0)};
    auto put = [&](int x, int y, unsigned char b, unsigned char g, unsigned char r) {
        if (x < 0 || y < 0 || x >= width || y >= height) return;
        unsigned char* p = &page.bgrx[(std::size_t(y) * width + x) * 4];
        p[0] = b, p[1] = g, p[2] = r;
    };
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            put(x, y, 250, 250, 250);
    std::mt19937 random(13);
    for (int line = 0; line * 18 + 16 < height; ++line) {
        const bool heading = line % 5 == 0;
        const unsigned char b = heading ? 160 : 20, g = heading ? 60 : 20, r = heading ? 20 : 20;
        for (int cell = 0; cell * 8 + 8 < width; ++cell) {
            if (random() % 7 == 0) continue; // a space
            const int left = 4 + cell * 8, top = 3 + line * 18;
            // A glyph: two to four strokes inside a 6 × 11 box.
            const int strokes = 2 + static_cast<int>(random() % 3);
            for (int s = 0; s < strokes; ++s) {
                if (random() % 2 == 0) {
                    const int x = left + static_cast<int>(random() % 6);
                    const int from = top + static_cast<int>(random() % 4);
                    const int to = top + 7 + static_cast<int>(random() % 5);
                    for (int y = from; y <= to; ++y)
                        put(x, y, b, g, r);
                    put(x, to + 1, 150, 150, 150);
                } else {
                    const int y = top + static_cast<int>(random() % 11);
                    const int from = left + static_cast<int>(random() % 3);
                    const int to = left + 3 + static_cast<int>(random() % 3);
                    for (int x = from; x <= to; ++x)
                        put(x, y, b, g, r);
                }
            }
        }
    }
    return page;
}

// The exact area average: each target pixel is the mean of the source area it covers,
// partly covered source pixels weighted by the part they cover. Luma only (BT.601).
std::vector<double> areaAverageLuma(const Picture& source, int width, int height) {
    const double sx = double(source.width) / width, sy = double(source.height) / height;
    auto luma = [&](int x, int y) {
        const unsigned char* p = &source.bgrx[(std::size_t(y) * source.width + x) * 4];
        return 0.114 * p[0] + 0.587 * p[1] + 0.299 * p[2];
    };
    std::vector<double> out(std::size_t(width) * height);
    for (int ty = 0; ty < height; ++ty) {
        const double y0 = ty * sy, y1 = (ty + 1) * sy;
        for (int tx = 0; tx < width; ++tx) {
            const double x0 = tx * sx, x1 = (tx + 1) * sx;
            double sum = 0;
            for (int y = int(y0); y < y1 && y < source.height; ++y) {
                const double wy = std::min<double>(y + 1, y1) - std::max<double>(y, y0);
                for (int x = int(x0); x < x1 && x < source.width; ++x) {
                    const double wx = std::min<double>(x + 1, x1) - std::max<double>(x, x0);
                    sum += wx * wy * luma(x, y);
                }
            }
            out[std::size_t(ty) * width + tx] = sum / (sx * sy);
        }
    }
    return out;
}

double lumaPsnr(const std::vector<unsigned char>& bgrx, const std::vector<double>& reference) {
    double squares = 0;
    for (std::size_t i = 0; i < reference.size(); ++i) {
        const unsigned char* p = &bgrx[i * 4];
        const double error = 0.114 * p[0] + 0.587 * p[1] + 0.299 * p[2] - reference[i];
        squares += error * error;
    }
    const double mse = squares / double(reference.size());
    return 10 * std::log10(255.0 * 255.0 / mse);
}

} // namespace

TEST(Resample, SameSizeCopiesRowsOfAnyStrideChannelByChannel) {
    // 4 bytes of padding a row; every byte distinct, so a swap or a shift shows.
    std::vector<unsigned char> pixels(16 * 2);
    for (std::size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<unsigned char>(i * 3 + 1);
    auto out = resample(PixelView{pixels.data(), 3, 2, 16}, 3, 2);
    ASSERT_EQ(out.size(), 3u * 2 * 4);
    for (int y = 0; y < 2; ++y)
        for (int i = 0; i < 12; i += 4)
            for (int c = 0; c < 3; ++c)
                EXPECT_EQ(out[y * 12 + i + c], pixels[y * 16 + i + c]) << y << " " << i;
}

TEST(Resample, ShrinkingByWholeFactorsAveragesTheAreaUnderEachPixel) {
    struct Case {
        std::vector<std::vector<int>> in;
        int width, height;
        std::vector<int> expected;
    };
    const Case cases[] = {
        {{{0, 100, 200, 40}, {100, 100, 0, 40}}, 2, 1, {75, 70}}, // 2 × 2 blocks
        {{{10, 20, 30, 40, 50, 60}}, 3, 1, {15, 35, 55}},         // pairs in a row
        {{{8}, {16}, {24}, {32}}, 1, 2, {12, 28}},                // pairs in a column
        {{{255, 255}, {255, 255}}, 1, 1, {255}},                  // no overshoot
    };
    for (const Case& c : cases) {
        const int w = static_cast<int>(c.in[0].size()), h = static_cast<int>(c.in.size());
        auto pixels = grey(c.in, static_cast<std::size_t>(w) * 4);
        auto out = resample(PixelView{pixels.data(), w, h, static_cast<std::size_t>(w) * 4},
                            c.width, c.height);
        auto levels = levelsOf(out);
        ASSERT_EQ(levels.size(), c.expected.size());
        for (std::size_t i = 0; i < levels.size(); ++i)
            EXPECT_NEAR(levels[i], c.expected[i], 1) << "pixel " << i;
    }
}

TEST(Resample, EnlargingInterpolatesBetweenNeighbours) {
    auto pixels = grey({{0, 200}}, 8);
    auto out = resample(PixelView{pixels.data(), 2, 1, 8}, 4, 1);
    EXPECT_EQ(levelsOf(out), (std::vector<int>{0, 50, 150, 200}));
}

TEST(Resample, EveryShapeComesOutAtTheAskedSizeWithinTheSourceRange) {
    // The shapes the capture size rule produces, and a window resized since its bounds
    // were read (enlarging).
    struct Case {
        int fromWidth, fromHeight, width, height;
    };
    const Case cases[] = {
        {1920, 1080, 1280, 720}, {1281, 700, 1280, 699}, {2560, 40, 1280, 20}, {3000, 3, 1280, 1},
        {5, 2000, 3, 1280},      {7, 5, 13, 9},          {1, 1, 1, 1},
    };
    for (const Case& c : cases) {
        Picture source{c.fromWidth, c.fromHeight,
                       std::vector<unsigned char>(std::size_t(c.fromWidth) * c.fromHeight * 4)};
        // Levels between 40 and 200 in each channel, different per channel.
        for (std::size_t i = 0; i < source.bgrx.size(); ++i)
            source.bgrx[i] = static_cast<unsigned char>(40 + (i * 37 + i / 4 * 11) % 161);
        auto out = resample(source.view(), c.width, c.height);
        ASSERT_EQ(out.size(), std::size_t(c.width) * c.height * 4);
        for (std::size_t i = 0; i < out.size(); ++i) {
            const int v = out[i];
            if (i % 4 == 3)
                ASSERT_EQ(v, 255) << "X byte " << i / 4;
            else
                ASSERT_TRUE(v >= 40 && v <= 200) << c.fromWidth << "x" << c.fromHeight << ": " << v;
        }
    }
}

TEST(Resample, ColoursKeepTheirChannels) {
    // Blue, green, red and white quarters, shrunk by 1.5: each quarter's centre keeps its
    // colour, so no channel is read from another's place.
    Picture source{96, 96, std::vector<unsigned char>(96 * 96 * 4)};
    const unsigned char colours[4][3] = {{200, 0, 0}, {0, 200, 0}, {0, 0, 200}, {255, 255, 255}};
    for (int y = 0; y < 96; ++y)
        for (int x = 0; x < 96; ++x)
            std::copy_n(colours[(y / 48) * 2 + x / 48], 3, &source.bgrx[(y * 96 + x) * 4]);
    auto out = resample(source.view(), 64, 64);
    for (int q = 0; q < 4; ++q) {
        const int x = (q % 2) * 32 + 16, y = (q / 2) * 32 + 16;
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(out[(y * 64 + x) * 4 + c], colours[q][c]) << "quarter " << q;
    }
}

TEST(Resample, WhatDescribesNoPictureGivesABlackOneOfTheAskedSize) {
    std::vector<unsigned char> pixels(64 * 4, 128);
    const PixelView nothing[] = {
        {nullptr, 0, 0, 0},
        {nullptr, 4, 4, 16},
        {pixels.data(), 0, 8, 32},
        {pixels.data(), 8, 8, 28}, // a stride shorter than a row
    };
    for (const PixelView& view : nothing) {
        auto out = resample(view, 3, 2);
        ASSERT_EQ(out.size(), 3u * 2 * 4);
        EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](unsigned char b) { return b == 0; }));
    }
    EXPECT_TRUE(resample(PixelView{pixels.data(), 8, 8, 32}, 0, 2).empty());
}

TEST(Resample, TextStaysWithin38DecibelsOfTheExactAreaAverage) {
    // The sizes a full-screen and a large window are captured at.
    struct Case {
        int fromWidth, fromHeight, width, height;
    };
    const Case cases[] = {
        {1920, 1080, 1280, 720}, // 1.5
        {1600, 1200, 1280, 960}, // 1.25
        {2560, 1440, 1280, 720}, // 2
        {2000, 1000, 1280, 640}, // 1.5625
    };
    for (const Case& c : cases) {
        const Picture page = textPage(c.fromWidth, c.fromHeight);
        auto out = resample(page.view(), c.width, c.height);
        const double psnr = lumaPsnr(out, areaAverageLuma(page, c.width, c.height));
        EXPECT_GE(psnr, 38.0) << c.fromWidth << "x" << c.fromHeight << " to " << c.width << "x"
                              << c.height;
        RecordProperty(std::to_string(c.fromWidth) + "x" + std::to_string(c.fromHeight),
                       std::to_string(psnr));
    }
}
