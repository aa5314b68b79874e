// PNG rows read a piece at a time give the pixels libspng gives for the same file, in every
// colour type and bit depth, through every filter, with and without tRNS, with and without
// a row above; and the same files fail, or do not, where libspng fails.
#include "attachments/image/png_long_rows.h"
#include "common/unique_handle.h"
#include "image_test_support.h"

#include <gtest/gtest.h>
#include <spng.h>
#include <zlib.h>

#include <cstdlib>
#include <optional>
#include <random>

using namespace fixtures;
using attachments::PngLongRowLayout;

namespace {

struct Kind {
    std::uint8_t colourType;
    std::uint8_t depth;
};

int channels(std::uint8_t colourType) {
    return colourType == 2 ? 3 : colourType == 4 ? 2 : colourType == 6 ? 4 : 1;
}

// A picture as a PNG stores it: each row's samples, packed, before filtering.
struct StoredPicture {
    Kind kind;
    std::uint32_t width = 0;
    std::vector<std::vector<std::uint8_t>> rows;
    std::vector<std::array<std::uint8_t, 3>> palette; // indexed colour
    std::vector<std::uint8_t> trns;                   // the tRNS chunk's body, if any

    std::size_t bitsPerPixel() const { return std::size_t(channels(kind.colourType)) * kind.depth; }
};

void put16(std::vector<std::uint8_t>& out, unsigned v) {
    out.push_back(static_cast<std::uint8_t>(v >> 8));
    out.push_back(static_cast<std::uint8_t>(v));
}

// Random samples, with tRNS when `keyed`: for grey and truecolour some pixels carry the key
// colour, and others only its low bytes; 8-bit keys are stored with high bits set, which
// libspng masks for truecolour and not for grey. Indexed pictures use indices past their
// short palette too.
StoredPicture randomPicture(Kind kind, std::uint32_t width, std::uint32_t height, bool keyed,
                            unsigned seed) {
    std::mt19937 random(seed);
    StoredPicture picture{kind, width, {}, {}, {}};
    const std::size_t rowBytes = (width * picture.bitsPerPixel() + 7) / 8;
    for (std::uint32_t y = 0; y < height; ++y) {
        std::vector<std::uint8_t> row(rowBytes);
        for (auto& byte : row)
            byte = static_cast<std::uint8_t>(random());
        picture.rows.push_back(std::move(row));
    }
    if (kind.colourType == 3) {
        const std::size_t entries = std::max<std::size_t>(1, (1u << kind.depth) * 2 / 3);
        for (std::size_t i = 0; i < entries; ++i)
            picture.palette.push_back({static_cast<std::uint8_t>(random()),
                                       static_cast<std::uint8_t>(random()),
                                       static_cast<std::uint8_t>(random())});
        if (keyed)
            for (std::size_t i = 0; i < (entries + 1) / 2; ++i)
                picture.trns.push_back(static_cast<std::uint8_t>(random()));
        return picture;
    }
    if (!keyed || (kind.colourType != 0 && kind.colourType != 2)) return picture;
    const std::size_t samples = kind.colourType == 0 ? 1 : 3;
    const std::size_t pixelBytes = samples * kind.depth / 8;
    // The key is the first pixel of the first row (every 11th pixel copies it) and, for 8-bit
    // truecolour, is stored with a high byte that libspng drops.
    std::vector<unsigned> key(samples);
    for (std::size_t s = 0; s < samples; ++s) {
        if (kind.depth == 16) {
            key[s] = unsigned{picture.rows[0][s * 2]} << 8 | picture.rows[0][s * 2 + 1];
        } else if (kind.depth == 8) {
            key[s] = picture.rows[0][s] | (kind.colourType == 2 ? 0x100u : 0u);
        } else {
            key[s] = picture.rows[0][0] >> (8 - kind.depth);
        }
        put16(picture.trns, key[s]);
    }
    if (kind.depth >= 8)
        for (auto& row : picture.rows)
            for (std::size_t x = 0; x < width; x += 11)
                std::copy_n(picture.rows[0].begin(), pixelBytes, row.begin() + x * pixelBytes);
    return picture;
}

// Each row filtered with `filterOf(y)` (0 to 4), the filter byte first.
std::vector<std::uint8_t> filtered(const StoredPicture& picture, int (*filterOf)(std::uint32_t)) {
    const std::size_t step = std::max<std::size_t>(1, picture.bitsPerPixel() / 8);
    std::vector<std::uint8_t> out;
    std::vector<std::uint8_t> none(picture.rows.front().size(), 0);
    for (std::uint32_t y = 0; y < picture.rows.size(); ++y) {
        const auto& row = picture.rows[y];
        const auto& up = y ? picture.rows[y - 1] : none;
        const int filter = filterOf(y);
        out.push_back(static_cast<std::uint8_t>(filter));
        for (std::size_t i = 0; i < row.size(); ++i) {
            const int a = i >= step ? row[i - step] : 0, b = up[i],
                      c = i >= step ? up[i - step] : 0;
            int predicted = 0;
            if (filter == 1) predicted = a;
            if (filter == 2) predicted = b;
            if (filter == 3) predicted = (a + b) / 2;
            if (filter == 4) {
                const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
                predicted = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
            }
            out.push_back(static_cast<std::uint8_t>(row[i] - predicted));
        }
    }
    return out;
}

std::vector<std::uint8_t> zlibOf(const std::vector<std::uint8_t>& data) {
    uLongf length = compressBound(static_cast<uLong>(data.size()));
    std::vector<std::uint8_t> out(length);
    EXPECT_EQ(compress2(out.data(), &length, data.data(), static_cast<uLong>(data.size()), 6),
              Z_OK);
    out.resize(length);
    return out;
}

void append(std::vector<std::uint8_t>& out, const std::vector<std::uint8_t>& bytes) {
    for (const std::uint8_t byte : bytes) // GCC 12's -O3 warns falsely about insert() here
        out.push_back(byte);
}

// How a file is put together around its pixels, to damage it in one way at a time.
struct Assembly {
    std::vector<std::uint8_t> zlib;  // the IDAT chunks' data, all together
    int idatChunks = 1;              // split evenly, with an empty chunk in the middle if > 1
    bool idatCrcWrong = false;       // the last IDAT chunk's CRC
    std::vector<std::uint8_t> after; // chunks between the last IDAT and IEND
    bool iend = true;
};

std::vector<std::uint8_t> pngFile(const StoredPicture& picture, const Assembly& assembly) {
    std::vector<std::uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::uint8_t> ihdr;
    put16(ihdr, picture.width >> 16), put16(ihdr, picture.width & 0xFFFF);
    put16(ihdr, 0), put16(ihdr, static_cast<unsigned>(picture.rows.size()));
    append(ihdr, {picture.kind.depth, picture.kind.colourType, 0, 0, 0});
    append(out, pngChunk("IHDR", ihdr));
    if (!picture.palette.empty()) {
        std::vector<std::uint8_t> plte;
        for (const auto& entry : picture.palette)
            append(plte, {entry.begin(), entry.end()});
        append(out, pngChunk("PLTE", plte));
    }
    if (!picture.trns.empty()) append(out, pngChunk("tRNS", picture.trns));
    const std::size_t part = assembly.zlib.size() / assembly.idatChunks + 1;
    for (int i = 0; i < assembly.idatChunks; ++i) {
        const std::size_t from = std::min(assembly.zlib.size(), i * part);
        const std::size_t to = std::min(assembly.zlib.size(), from + part);
        auto chunk = pngChunk("IDAT", {assembly.zlib.begin() + from, assembly.zlib.begin() + to});
        if (assembly.idatCrcWrong && i == assembly.idatChunks - 1) chunk.back() ^= 1;
        append(out, chunk);
        if (i == 0 && assembly.idatChunks > 1) append(out, pngChunk("IDAT", {}));
    }
    append(out, assembly.after);
    if (assembly.iend) append(out, pngChunk("IEND", {}));
    return out;
}

// libspng's pixels for the file, as the tool asks for them, or nothing when it fails.
std::optional<std::vector<std::uint8_t>> libspngPixels(const std::vector<std::uint8_t>& png) {
    common::Owned<spng_ctx, spng_ctx_free> ctx(spng_ctx_new(0));
    std::size_t size = 0;
    if (spng_set_png_buffer(ctx.get(), png.data(), png.size()) != 0 ||
        spng_decoded_image_size(ctx.get(), SPNG_FMT_RGBA8, &size) != 0)
        return std::nullopt;
    std::vector<std::uint8_t> pixels(size);
    if (spng_decode_image(ctx.get(), pixels.data(), size, SPNG_FMT_RGBA8, SPNG_DECODE_TRNS) != 0 ||
        spng_decode_chunks(ctx.get()) != 0)
        return std::nullopt;
    return pixels;
}

// Pieces put back together into rows, checking that they come left to right, row by row.
class Collected final : public attachments::RowSink {
public:
    void start(const attachments::RowFormat& format) override {
        EXPECT_TRUE(format.inPieces);
        width_ = static_cast<std::size_t>(format.size.width);
        pixels.assign(width_ * static_cast<std::size_t>(format.size.height) * 4, 0);
    }
    void row(const unsigned char*) override { ADD_FAILURE() << "a whole row"; }
    void piece(int rows, int x, int width, const unsigned char* data, std::size_t) override {
        EXPECT_EQ(rows, 1);
        EXPECT_EQ(static_cast<std::size_t>(x), nextX_);
        const std::size_t at = (row_ * width_ + static_cast<std::size_t>(x)) * 4;
        ASSERT_LE(at + std::size_t(width) * 4, pixels.size());
        std::copy_n(data, std::size_t(width) * 4, pixels.begin() + static_cast<std::ptrdiff_t>(at));
        nextX_ = static_cast<std::size_t>(x + width);
        if (nextX_ == width_) nextX_ = 0, ++row_;
    }
    std::vector<std::uint8_t> pixels;

private:
    std::size_t width_ = 0, row_ = 0, nextX_ = 0;
};

PngLongRowLayout layoutOf(const StoredPicture& picture, std::uint64_t firstIdat) {
    PngLongRowLayout layout;
    layout.width = picture.width;
    layout.height = static_cast<std::uint32_t>(picture.rows.size());
    layout.bitDepth = picture.kind.depth;
    layout.colourType = picture.kind.colourType;
    layout.firstIdat = firstIdat;
    for (std::size_t i = 0; i < 256; ++i) {
        const bool listed = i < picture.palette.size();
        layout.palette[i] = {listed ? picture.palette[i][0] : std::uint8_t{0},
                             listed ? picture.palette[i][1] : std::uint8_t{0},
                             listed ? picture.palette[i][2] : std::uint8_t{0},
                             i < picture.trns.size() ? picture.trns[i] : std::uint8_t{255}};
    }
    if (!picture.trns.empty() && picture.kind.colourType != 3) {
        std::array<std::uint16_t, 3> key{};
        for (std::size_t s = 0; s < picture.trns.size() / 2; ++s)
            key[s] = static_cast<std::uint16_t>(picture.trns[s * 2] << 8 | picture.trns[s * 2 + 1]);
        layout.transparent = key;
    }
    return layout;
}

std::uint64_t firstIdatOf(const std::vector<std::uint8_t>& png) {
    std::size_t at = 8;
    while (!std::equal(png.begin() + at + 4, png.begin() + at + 8, "IDAT"))
        at += 12 + (std::size_t{png[at + 2]} << 8 | png[at + 3]); // header chunks are short
    return at;
}

// The pixels read in pieces, or nothing when the reader fails.
std::optional<std::vector<std::uint8_t>> piecewise(const ScratchDir& dir,
                                                   const StoredPicture& picture,
                                                   const std::vector<std::uint8_t>& png,
                                                   const attachments::PngLongRowOptions& options) {
    writeBytes(dir / "long.png", png);
    auto file = attachments::InputFile::open(dir / "long.png");
    if (!file) throw std::runtime_error("cannot open the test file");
    attachments::RowFormat format;
    format.full =
        format.size = {static_cast<int>(picture.width), static_cast<int>(picture.rows.size())};
    Collected sink;
    const auto failure = failureOf([&] {
        attachments::readPngLongRows(*file, layoutOf(picture, firstIdatOf(png)), format, sink,
                                     options);
    });
    if (failure) {
        EXPECT_EQ(*failure, kCannotPrepare);
        return std::nullopt;
    }
    return sink.pixels;
}

int cycle(std::uint32_t y) {
    return static_cast<int>(y % 5);
}

// Rows above kept (the default), and not kept: read again where they are needed.
const attachments::PngLongRowOptions kWays[] = {{.pieceColumns = 8},
                                                {.pieceColumns = 16},
                                                {.pieceColumns = 65536},
                                                {.pieceColumns = 8, .mostBytesKept = 0},
                                                {.pieceColumns = 65536, .mostBytesKept = 0}};

const Kind kKinds[] = {{0, 1}, {0, 2}, {0, 4}, {0, 8}, {0, 16}, {2, 8}, {2, 16}, {3, 1},
                       {3, 2}, {3, 4}, {3, 8}, {4, 8}, {4, 16}, {6, 8}, {6, 16}};

TEST(PngLongRows, EveryKindAndFilterGivesLibspngsPixels) {
    ScratchDir dir;
    int (*const single[])(std::uint32_t) = {
        [](std::uint32_t) { return 0; }, [](std::uint32_t) { return 1; },
        [](std::uint32_t) { return 2; }, [](std::uint32_t) { return 3; },
        [](std::uint32_t) { return 4; }};
    unsigned seed = 1;
    for (const Kind kind : kKinds) {
        for (const bool keyed : {false, true}) {
            // Seven rows through the five filters in turn, seven rows each of which needs all
            // those above it, then one row (no row above) per filter; 37 columns, so the
            // last piece is short.
            struct Case {
                std::uint32_t height;
                int (*filterOf)(std::uint32_t);
            };
            std::vector<Case> cases = {{7, cycle}, {7, single[4]}};
            for (auto* filter : single)
                cases.push_back({1, filter});
            for (const Case& c : cases) {
                const StoredPicture picture = randomPicture(kind, 37, c.height, keyed, seed++);
                const auto png = pngFile(picture, {.zlib = zlibOf(filtered(picture, c.filterOf))});
                const auto want = libspngPixels(png);
                ASSERT_TRUE(want);
                for (const auto& way : kWays) {
                    SCOPED_TRACE(testing::Message()
                                 << "colour type " << int(kind.colourType) << ", depth "
                                 << int(kind.depth) << (keyed ? ", tRNS" : "") << ", " << c.height
                                 << " rows, first filters " << c.filterOf(0) << c.filterOf(1)
                                 << ", pieces of " << way.pieceColumns
                                 << (way.mostBytesKept ? "" : ", rows above read again"));
                    EXPECT_EQ(piecewise(dir, picture, png, way), want);
                }
            }
        }
    }
}

TEST(PngLongRows, DamageFailsWhereLibspngFails) {
    ScratchDir dir;
    const StoredPicture picture = randomPicture({2, 8}, 45, 6, false, 99);
    const auto data = filtered(picture, cycle);
    const auto zlib = zlibOf(data);
    auto withExtra = data;
    withExtra.resize(data.size() + 3000, 0);
    auto badChecksum = zlib;
    badChecksum.back() ^= 0x55;
    auto badFilter = data;
    badFilter[(data.size() / 6) * 3] = 5;
    auto tooShort = data;
    tooShort.resize(data.size() - 4);
    const auto text = pngChunk("tEXt", {'k', 0, 'v'});
    auto textBadCrc = text;
    textBadCrc.back() ^= 1;
    auto badIend = pngChunk("IEND", {});
    badIend.back() ^= 1;
    auto laterIdat = text;
    append(laterIdat, pngChunk("IDAT", {}));

    struct Case {
        const char* name;
        Assembly assembly;
        bool prepared;
    };
    const Case cases[] = {
        {"as written", {.zlib = zlib}, true},
        {"in four IDAT chunks and an empty one", {.zlib = zlib, .idatChunks = 4}, true},
        {"an IDAT CRC wrong", {.zlib = zlib, .idatChunks = 3, .idatCrcWrong = true}, false},
        {"a filter type 5", {.zlib = zlibOf(badFilter)}, false},
        {"too few pixels", {.zlib = zlibOf(tooShort)}, false},
        {"the checksum wrong", {.zlib = badChecksum}, false},
        {"the checksum cut off", {.zlib = {zlib.begin(), zlib.end() - 4}}, true},
        {"data past the pixels", {.zlib = zlibOf(withExtra)}, true},
        {"a text chunk after the pixels", {.zlib = zlib, .after = text}, true},
        {"a text chunk with a wrong CRC", {.zlib = zlib, .after = textBadCrc}, true},
        {"an IDAT after another chunk", {.zlib = zlib, .after = laterIdat}, false},
        {"IEND missing", {.zlib = zlib, .iend = false}, false},
        {"IEND's CRC wrong", {.zlib = zlib, .after = badIend, .iend = false}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto png = pngFile(picture, c.assembly);
        const auto want = libspngPixels(png);
        EXPECT_EQ(want.has_value(), c.prepared);
        for (const auto& way : kWays)
            EXPECT_EQ(piecewise(dir, picture, png, way), want) << way.mostBytesKept;
    }
}

// Through the decoder: a row of more than a million pixels is read in pieces, its palette
// and tRNS taken from the file.
TEST(PngLongRows, TheDecoderReadsRowsOfMillionsOfPixelsInPieces) {
    ScratchDir dir;
    const StoredPicture picture = randomPicture({3, 2}, (1u << 20) + 77, 3, true, 5);
    const auto png = pngFile(picture, {.zlib = zlibOf(filtered(picture, cycle)), .idatChunks = 3});
    writeBytes(dir / "wide.png", png);
    const auto decoder = attachments::openImage(dir / "wide.png");
    Collected sink;
    decoder->decode(sink);
    EXPECT_EQ(sink.pixels, libspngPixels(png));
}

} // namespace
