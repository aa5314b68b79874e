// The pieces under the path: size arithmetic, format recognition, filter taps.
#include "attachments/image/image_format.h"
#include "attachments/image/image_geometry.h"
#include "attachments/image/lanczos_scaler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <string_view>

using namespace attachments;

namespace {

TEST(Geometry, FitWithinKeepsAspectAndNeverEnlarges) {
    EXPECT_EQ(fitWithin({4000, 1000}), (Size{2000, 500}));
    EXPECT_EQ(fitWithin({1000, 4000}), (Size{500, 2000}));
    EXPECT_EQ(fitWithin({800, 600}), (Size{800, 600}));
    EXPECT_EQ(fitWithin({2000, 2000}), (Size{2000, 2000}));
    EXPECT_EQ(fitWithin({3001, 1000}), (Size{2000, 666}));  // 666.4 rounds down
    EXPECT_EQ(fitWithin({3000, 1001}), (Size{2000, 667}));  // 667.3
    EXPECT_EQ(fitWithin({40'000'000, 1}), (Size{2000, 1})); // never below 1
}

TEST(Geometry, PixelCapBoundaries) {
    EXPECT_TRUE(acceptableSize({8000, 5000}));
    EXPECT_FALSE(acceptableSize({8001, 5000}));
    EXPECT_TRUE(acceptableSize({1, 1}));
    EXPECT_FALSE(acceptableSize({0, 5}));
    EXPECT_FALSE(acceptableSize({5, -1}));
    EXPECT_FALSE(acceptableSize({65536, 65536})); // would overflow in 32-bit arithmetic
}

TEST(Format, RecognisedByLeadingBytes) {
    auto detect = [](std::string_view bytes) {
        return detectFormat({reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()});
    };
    using namespace std::string_view_literals;
    EXPECT_EQ(detect("\xFF\xD8\xFF\xE0"sv), ImageFormat::Jpeg);
    EXPECT_EQ(detect("\x89PNG\r\n\x1A\n"sv), ImageFormat::Png);
    EXPECT_EQ(detect("GIF89a"sv), ImageFormat::Gif);
    EXPECT_EQ(detect("RIFF\0\0\0\0WEBPVP8 "sv), ImageFormat::Webp);
    EXPECT_EQ(detect("RIFF\0\0\0\0WAVEfmt "sv), ImageFormat::Unknown);
    EXPECT_EQ(detect("II*\0"sv), ImageFormat::Tiff);
    EXPECT_EQ(detect("MM\0*"sv), ImageFormat::Tiff);
    EXPECT_EQ(detect("\0\0\0\x18"
                     "ftypheic"sv),
              ImageFormat::Heif);
    EXPECT_EQ(detect("\x89PN"sv), ImageFormat::Unknown);
    EXPECT_EQ(detect(""sv), ImageFormat::Unknown);
}

TEST(Lanczos, TapsAreNormalisedAndCentred) {
    for (const auto& [source, target] :
         {std::pair{100, 100}, {1000, 333}, {5, 2}, {8000, 2000}, {7, 1}}) {
        const FilterTaps taps = lanczos3Taps(source, target);
        for (int i = 0; i < target; ++i) {
            const float* w = taps.weights.data() + taps.offset[i];
            EXPECT_NEAR(std::accumulate(w, w + taps.count[i], 0.0), 1.0, 1e-5);
            EXPECT_GE(taps.first[i], 0);
            EXPECT_LE(taps.first[i] + taps.count[i], source);
        }
    }
    const FilterTaps same = lanczos3Taps(10, 10);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(same.count[i], 1);
        EXPECT_EQ(same.first[i], i);
    }
}

TEST(Lanczos, StreamsRowsAndKeepsFlatAreasFlat) {
    const Size source{90, 70};
    const Size target{30, 20};
    std::vector<int> emitted;
    float worst = 0;
    LanczosScaler scaler(source, target, [&](int y, const Pixel4* row) {
        emitted.push_back(y);
        for (int x = 0; x < target.width; ++x)
            for (int c = 0; c < 4; ++c)
                worst = std::max(worst, std::fabs(row[x][c] - 100.0f));
    });
    const std::vector<Pixel4> row(source.width, Pixel4{100, 100, 100, 100});
    for (int y = 0; y < source.height; ++y) {
        scaler.push(row.data());
        // No row waits much longer than its filter needs.
        EXPECT_GE(static_cast<int>(emitted.size()), (y + 1) * target.height / source.height - 4);
    }
    EXPECT_TRUE(scaler.done());
    ASSERT_EQ(emitted.size(), 20u);
    for (int y = 0; y < 20; ++y)
        EXPECT_EQ(emitted[y], y);
    EXPECT_LT(worst, 0.01f);
}

TEST(Lanczos, RowsScaleExactlyAsTheTapsSay) {
    // Each output pixel is the taps' sum taken in order, to the bit, however the scaler
    // groups its work: wide and narrow rows, widths that are no multiple of four, one tap.
    const std::pair<int, int> widths[] = {{8000, 2000}, {2250, 2000}, {1003, 998}, {37, 5},
                                          {9, 2},       {5, 1},       {17, 17}};
    for (const auto& [sourceWidth, targetWidth] : widths) {
        const int source = sourceWidth; // a plain local, for the lambda below
        const int target = targetWidth;
        SCOPED_TRACE(testing::Message() << source << " -> " << target);
        const int height = 3; // only the first row matters; three rows give one output row
        std::vector<Pixel4> row(source);
        for (int x = 0; x < source; ++x)
            row[x] = Pixel4{float((x * 37) % 256), float((x * 101) % 256), float(x % 7),
                            float(255 - x % 256)};
        const FilterTaps taps = lanczos3Taps(source, target);
        std::vector<Pixel4> got;
        LanczosScaler scaler({source, height}, {target, height}, [&](int y, const Pixel4* out) {
            if (y == 0) got.assign(out, out + target);
        });
        for (int y = 0; y < height; ++y)
            scaler.push(row.data());
        ASSERT_EQ(got.size(), static_cast<std::size_t>(target));
        for (int x = 0; x < target; ++x) {
            Pixel4 want = {0, 0, 0, 0};
            for (int k = 0; k < taps.count[x]; ++k)
                want += row[taps.first[x] + k] * taps.weights[taps.offset[x] + k];
            for (int c = 0; c < 4; ++c)
                ASSERT_EQ(got[x][c], want[c]) << "pixel " << x << " channel " << c;
        }
    }
}

} // namespace
