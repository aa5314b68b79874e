// GIF, WebP, TIFF and HEIF: read, animations refused, single frames accepted, turned.
#include "attachments/image/image_decoder.h"
#include "common/unique_handle.h"
#include "format_fixtures.h"
#include "image_test_support.h"

#include <gtest/gtest.h>
#include <libheif/heif.h>

#include <string_view>

using namespace fixtures;

namespace {

class Formats : public ::testing::Test {
protected:
    ScratchDir dir;
};

Picture halves(int width, int height) {
    return makePicture(width, height, [=](int x, int) { return x < width / 2 ? kRed : kGreen; });
}

TEST_F(Formats, GifStillAnimatedAndPlacedFrames) {
    writeGif(dir / "still.gif", 40, 30, {{halves(40, 30)}});
    EXPECT_EQ(inspect(dir / "still.gif"),
              (common::Json{{"kind", "image"}, {"width", 40}, {"height", 30}}));
    Decoded out = prepare(dir / "still.gif", dir.path());
    EXPECT_TRUE(near(out.at(5, 15), kRed));
    EXPECT_TRUE(near(out.at(35, 15), kGreen));

    writeGif(dir / "anim.gif", 40, 30, {{halves(40, 30)}, {halves(40, 30)}});
    EXPECT_EQ(failureOf([&] { inspect(dir / "anim.gif"); }), kUnsupported);

    // A frame smaller than the screen, with a transparent hole: the rest is white.
    const Picture holed = makePicture(20, 20, [](int x, int) {
        return x < 10 ? kRed : Rgba{0, 0, 0, 0};
    });
    writeGif(dir / "placed.gif", 40, 30, {{holed, 10, 5}});
    out = prepare(dir / "placed.gif", dir.path());
    EXPECT_TRUE(near(out.at(2, 2), kWhite));
    EXPECT_TRUE(near(out.at(14, 15), kRed));
    EXPECT_TRUE(near(out.at(25, 15), kWhite));

    const Picture rows = makePicture(16, 24, [](int, int y) { return y % 2 ? kRed : kGreen; });
    writeGif(dir / "interlaced.gif", 16, 24, {{rows, 0, 0, true}});
    out = prepare(dir / "interlaced.gif", dir.path());
    EXPECT_GT(out.at(8, 13).r, out.at(8, 13).g); // an odd row is red
}

TEST_F(Formats, GifCutOffInItsFrameFailsWhenPrepared) {
    writeGif(dir / "whole.gif", 64, 64, {{halves(64, 64)}});
    auto bytes = readBytes(dir / "whole.gif");
    bytes.resize(bytes.size() - 40);
    writeBytes(dir / "cut.gif", bytes);
    EXPECT_EQ(inspect(dir / "cut.gif")["width"], 64);
    EXPECT_EQ(failureOf([&] { prepare(dir / "cut.gif", dir.path()); }), kCannotPrepare);
}

TEST_F(Formats, WebpStillScaledTransparentAndTurned) {
    writeWebp(dir / "wide.webp", halves(4000, 1000));
    EXPECT_EQ(inspect(dir / "wide.webp")["width"], 4000);
    Decoded out = prepare(dir / "wide.webp", dir.path());
    EXPECT_EQ(out.width, 2000);
    EXPECT_EQ(out.height, 500);
    EXPECT_TRUE(near(out.at(100, 250), kRed));
    EXPECT_TRUE(near(out.at(1900, 250), kGreen));

    const Picture alpha = makePicture(32, 32, [](int x, int) {
        return Rgba{0, 0, 0, static_cast<std::uint8_t>(x < 16 ? 0 : 128)};
    });
    writeWebp(dir / "alpha.webp", alpha, {.lossless = true});
    out = prepare(dir / "alpha.webp", dir.path());
    EXPECT_TRUE(near(out.at(4, 16), kWhite, 3));
    EXPECT_TRUE(near(out.at(28, 16), kGrey, 4));

    writeWebp(dir / "turned.webp", markedPicture(), {.lossless = true, .orientation = 6});
    EXPECT_EQ(inspect(dir / "turned.webp")["width"], 60);
    out = prepare(dir / "turned.webp", dir.path());
    EXPECT_EQ(out.width, 40);
    EXPECT_EQ(out.height, 60);
    EXPECT_TRUE(near(corner(out, TopRight), kRed));
    EXPECT_TRUE(near(corner(out, BottomRight), kGreen));
}

TEST_F(Formats, WebpAnimationsAndDamage) {
    writeAnimatedWebp(dir / "two.webp",
                      {halves(32, 32), makePicture(32, 32, [](int, int) { return kGrey; })});
    EXPECT_EQ(failureOf([&] { inspect(dir / "two.webp"); }), kUnsupported);
    writeAnimatedWebp(dir / "one.webp", {halves(32, 32)});
    EXPECT_EQ(inspect(dir / "one.webp")["width"], 32);
    const Decoded out = prepare(dir / "one.webp", dir.path());
    EXPECT_TRUE(near(out.at(4, 16), kRed));
    EXPECT_TRUE(near(out.at(28, 16), kGreen));

    writeWebp(dir / "whole.webp", halves(256, 256));
    auto bytes = readBytes(dir / "whole.webp");
    bytes.resize(bytes.size() / 2);
    writeBytes(dir / "cut.webp", bytes);
    EXPECT_EQ(inspect(dir / "cut.webp")["width"], 256);
    EXPECT_EQ(failureOf([&] { prepare(dir / "cut.webp", dir.path()); }), kCannotPrepare);
}

TEST_F(Formats, TiffPagesOrientationAlphaAndDepth) {
    writeTiff(dir / "turned.tif", markedPicture(), {.orientation = 8});
    EXPECT_EQ(inspect(dir / "turned.tif"),
              (common::Json{{"kind", "image"}, {"width", 60}, {"height", 40}}));
    Decoded out = prepare(dir / "turned.tif", dir.path());
    EXPECT_EQ(out.width, 40);
    EXPECT_EQ(out.height, 60);
    EXPECT_TRUE(near(corner(out, BottomLeft), kRed));
    EXPECT_TRUE(near(corner(out, TopLeft), kGreen));

    writeTiff(dir / "pages.tif", halves(20, 20), {.pages = 2});
    EXPECT_EQ(failureOf([&] { inspect(dir / "pages.tif"); }), kUnsupported);

    const Picture alpha = makePicture(32, 32, [](int x, int) {
        return Rgba{0, 0, 0, static_cast<std::uint8_t>(x < 16 ? 0 : 128)};
    });
    writeTiff(dir / "alpha.tif", alpha, {.alpha = true, .sixteen = true});
    out = prepare(dir / "alpha.tif", dir.path());
    EXPECT_TRUE(near(out.at(4, 16), kWhite, 3));
    EXPECT_TRUE(near(out.at(28, 16), kGrey, 4));

    writeTiff(dir / "whole.tif", halves(64, 64));
    auto bytes = readBytes(dir / "whole.tif");
    bytes.resize(bytes.size() / 2);
    writeBytes(dir / "cut.tif", bytes);
    EXPECT_NE(failureOf([&] { prepare(dir / "cut.tif", dir.path()); }), std::nullopt);
}

TEST_F(Formats, AvifStillMultiImageAndItsOwnTurn) {
    writeAvif(dir / "still.avif", halves(64, 48));
    EXPECT_EQ(inspect(dir / "still.avif"),
              (common::Json{{"kind", "image"}, {"width", 64}, {"height", 48}}));
    Decoded out = prepare(dir / "still.avif", dir.path());
    EXPECT_TRUE(near(out.at(8, 24), kRed, 24));
    EXPECT_TRUE(near(out.at(56, 24), kGreen, 24));

    writeAvif(dir / "two.avif", halves(64, 48), 1, 2);
    EXPECT_EQ(failureOf([&] { inspect(dir / "two.avif"); }), kUnsupported);

    // libheif's encoder stores a turned picture with an irot box (and, in this version,
    // the turned size in 'ispe', which is put right here). Setting the box's angle to 0
    // and then to 90° anticlockwise shows that the turn is applied once, by libheif, while
    // the report keeps the stored ('ispe') size.
    writeAvif(dir / "turned.avif", markedPicture(), 6);
    auto bytes = readBytes(dir / "turned.avif");
    const std::string_view view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    const std::size_t irot = view.find("irot");
    const std::size_t ispe = view.find("ispe");
    ASSERT_NE(irot, std::string_view::npos);
    ASSERT_NE(ispe, std::string_view::npos);
    const std::vector<std::uint8_t> coded = {0, 0, 0, 60, 0, 0, 0, 40};
    std::copy(coded.begin(), coded.end(), bytes.begin() + static_cast<std::ptrdiff_t>(ispe + 8));
    bytes[irot + 4] = 0;
    writeBytes(dir / "upright.avif", bytes);
    bytes[irot + 4] = 1;
    writeBytes(dir / "quarter.avif", bytes);
    EXPECT_EQ(inspect(dir / "quarter.avif"),
              (common::Json{{"kind", "image"}, {"width", 60}, {"height", 40}}));
    EXPECT_EQ(inspect(dir / "upright.avif"), inspect(dir / "quarter.avif"));
    const Decoded stored = prepare(dir / "upright.avif", dir.path());
    const Decoded turned = prepare(dir / "quarter.avif", dir.path());
    EXPECT_EQ(stored.width, 60);
    EXPECT_EQ(turned.width, stored.height);
    EXPECT_EQ(turned.height, stored.width);
    // Anticlockwise: the stored top-right corner comes to the top-left.
    EXPECT_TRUE(near(corner(turned, TopLeft), corner(stored, TopRight), 30));
    EXPECT_TRUE(near(corner(turned, BottomLeft), corner(stored, TopLeft), 30));
    EXPECT_FALSE(near(corner(stored, TopRight), corner(stored, TopLeft), 30));
}

// The rows of a decoded picture, four bytes a pixel.
class Rows final : public attachments::RowSink {
public:
    void start(const attachments::RowFormat& format) override {
        width_ = static_cast<std::size_t>(format.size.width) * 4;
    }
    void row(const unsigned char* pixels) override {
        bytes.insert(bytes.end(), pixels, pixels + width_);
    }
    std::vector<unsigned char> bytes;

private:
    std::size_t width_ = 0;
};

// libheif's own interleaved 8-bit pixels for the file, widened to four bytes a pixel, by
// the decoder `decoderId` (null: libheif's choice).
std::vector<unsigned char> libheifPixels(const std::filesystem::path& path, bool alpha,
                                         const char* decoderId = nullptr) {
    common::Owned<heif_context, heif_context_free> ctx(heif_context_alloc());
    heif_image_handle* handle = nullptr;
    EXPECT_EQ(heif_context_read_from_file(ctx.get(), path.c_str(), nullptr).code, heif_error_Ok);
    EXPECT_EQ(heif_context_get_primary_image_handle(ctx.get(), &handle).code, heif_error_Ok);
    common::Owned<heif_image_handle, heif_image_handle_release> owned(handle);
    common::Owned<heif_decoding_options, heif_decoding_options_free> options(
        heif_decoding_options_alloc());
    options.get()->convert_hdr_to_8bit = 1;
    options.get()->decoder_id = decoderId;
    heif_image* decoded = nullptr;
    EXPECT_EQ(heif_decode_image(handle, &decoded, heif_colorspace_RGB,
                                alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB,
                                options.get())
                  .code,
              heif_error_Ok);
    common::Owned<heif_image, heif_image_release> image(decoded);
    int stride = 0;
    const std::uint8_t* plane =
        heif_image_get_plane_readonly(decoded, heif_channel_interleaved, &stride);
    const int width = heif_image_get_width(decoded, heif_channel_interleaved);
    const int height = heif_image_get_height(decoded, heif_channel_interleaved);
    std::vector<unsigned char> out;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 4; ++c)
                out.push_back(c < 3 || alpha ? plane[y * stride + x * (alpha ? 4 : 3) + c] : 255);
    return out;
}

bool av1DecoderRegistered(std::string_view id) {
    const heif_decoder_descriptor* descriptors[16] = {};
    const int count = heif_get_decoder_descriptors(heif_compression_AV1, descriptors, 16);
    for (int i = 0; i < count; ++i)
        if (heif_decoder_descriptor_get_id_name(descriptors[i]) == id) return true;
    return false;
}

TEST_F(Formats, HeifRowsAreLibheifsOwnPixels) {
    const Picture picture = makePicture(67, 45, [](int x, int y) {
        return Rgba{static_cast<std::uint8_t>(x * 3), static_cast<std::uint8_t>(y * 5),
                    static_cast<std::uint8_t>(x ^ y), static_cast<std::uint8_t>(x * y)};
    });
    struct Case {
        const char* name;
        int orientation;
        bool alpha;
    };
    for (const Case& c :
         {Case{"opaque", 1, false}, Case{"with alpha", 1, true},
          Case{"turned, with alpha", 6, true}, Case{"turned and mirrored", 7, false}}) {
        SCOPED_TRACE(c.name);
        writeAvif(dir / "picture.avif", picture, c.orientation, 1, c.alpha);
        Rows rows;
        attachments::openImage(dir / "picture.avif")->decode(rows);
        // The tool gives libheif an AV1 decoder of its own: its pixels are dav1d's as
        // libheif's own decoder has them.
        EXPECT_EQ(rows.bytes, libheifPixels(dir / "picture.avif", c.alpha, "dav1d"));
    }
    EXPECT_TRUE(av1DecoderRegistered("dav1d-still"));
    for (const bool alpha : {false, true}) {
        writeHeic(dir / "picture.heic", picture, alpha);
        Rows rows;
        attachments::openImage(dir / "picture.heic")->decode(rows);
        EXPECT_EQ(rows.bytes, libheifPixels(dir / "picture.heic", alpha)) << alpha;
    }
}

} // namespace
