#include "image_fixtures.h"

#include "common/unique_handle.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <lcms2.h>
#include <spng.h>
#include <stdexcept>
#include <zlib.h>
// clang-format off
#include <jpeglib.h>
// clang-format on

namespace fixtures {
namespace {

using File = common::Owned<std::FILE, std::fclose>;

void check(bool ok, const char* what) {
    if (!ok) throw std::runtime_error(what);
}

std::vector<std::uint8_t> saveProfile(cmsHPROFILE profile) {
    check(profile != nullptr, "profile");
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    std::vector<std::uint8_t> bytes(size);
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsCloseProfile(profile);
    return bytes;
}

cmsHPROFILE rgbProfile(cmsCIExyYTRIPLE primaries, double gamma) {
    cmsCIExyY white;
    cmsWhitePointFromTemp(&white, 6504);
    cmsToneCurve* curve = cmsBuildGamma(nullptr, gamma);
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsFreeToneCurve(curve);
    return profile;
}

constexpr cmsCIExyYTRIPLE kSrgbPrimaries = {
    {0.6400, 0.3300, 1.0}, {0.3000, 0.6000, 1.0}, {0.1500, 0.0600, 1.0}};

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(v >> shift));
}

} // namespace

Picture makePicture(int width, int height, const std::function<Rgba(int x, int y)>& colour) {
    Picture picture{width, height, {}};
    picture.pixels.reserve(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.pixels.push_back(colour(x, y));
    return picture;
}

std::vector<std::uint8_t> exifWithOrientation(int orientation) {
    // Little-endian TIFF header, one IFD with one SHORT entry, no next IFD.
    return {'I',
            'I',
            42,
            0,
            8,
            0,
            0,
            0, // header
            1,
            0, // one entry
            0x12,
            0x01,
            3,
            0,
            1,
            0,
            0,
            0, // orientation, SHORT, 1
            static_cast<std::uint8_t>(orientation),
            0,
            0,
            0, // value
            0,
            0,
            0,
            0}; // no next IFD
}

std::vector<std::uint8_t> linearRgbProfile() {
    return saveProfile(rgbProfile(kSrgbPrimaries, 1.0));
}

std::vector<std::uint8_t> swappedRedGreenProfile() {
    cmsCIExyYTRIPLE swapped = kSrgbPrimaries;
    std::swap(swapped.Red, swapped.Green);
    return saveProfile(rgbProfile(swapped, 2.2));
}

std::vector<std::uint8_t> linearGreyProfile() {
    cmsCIExyY white;
    cmsWhitePointFromTemp(&white, 6504);
    cmsToneCurve* curve = cmsBuildGamma(nullptr, 1.0);
    cmsHPROFILE profile = cmsCreateGrayProfile(&white, curve);
    cmsFreeToneCurve(curve);
    return saveProfile(profile);
}

void writeJpeg(const std::filesystem::path& path, const Picture& picture,
               const JpegOptions& options) {
    File file(std::fopen(path.c_str(), "wb"));
    check(file != nullptr, "open jpeg");
    jpeg_compress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file.get());
    cinfo.image_width = picture.width;
    cinfo.image_height = picture.height;
    cinfo.input_components = options.grey ? 1 : 3;
    cinfo.in_color_space = options.grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, options.quality, TRUE);
    if (options.progressive) jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    if (options.orientation) {
        std::vector<std::uint8_t> app1 = {'E', 'x', 'i', 'f', 0, 0};
        const auto exif = exifWithOrientation(options.orientation);
        app1.insert(app1.end(), exif.begin(), exif.end());
        jpeg_write_marker(&cinfo, JPEG_APP0 + 1, app1.data(), static_cast<unsigned>(app1.size()));
    }
    if (!options.app2.empty())
        jpeg_write_marker(&cinfo, JPEG_APP0 + 2, options.app2.data(),
                          static_cast<unsigned>(options.app2.size()));
    if (!options.icc.empty())
        jpeg_write_icc_profile(&cinfo, options.icc.data(),
                               static_cast<unsigned>(options.icc.size()));
    std::vector<std::uint8_t> row(static_cast<std::size_t>(picture.width) * 3);
    while (cinfo.next_scanline < cinfo.image_height) {
        const int y = static_cast<int>(cinfo.next_scanline);
        for (int x = 0; x < picture.width; ++x) {
            const Rgba p = picture.at(x, y);
            if (options.grey) {
                row[x] = p.r;
            } else {
                row[x * 3] = p.r;
                row[x * 3 + 1] = p.g;
                row[x * 3 + 2] = p.b;
            }
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
}

std::vector<std::uint8_t> mpfSegment(std::uint32_t images, bool bigEndian, bool withCount) {
    std::vector<std::uint8_t> out = {'M', 'P', 'F', 0};
    const auto u16 = [&](std::uint16_t v) {
        if (bigEndian) {
            out.insert(out.end(),
                       {static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)});
        } else {
            out.insert(out.end(),
                       {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)});
        }
    };
    const auto u32 = [&](std::uint32_t v) {
        if (bigEndian) {
            u16(static_cast<std::uint16_t>(v >> 16));
            u16(static_cast<std::uint16_t>(v));
        } else {
            u16(static_cast<std::uint16_t>(v));
            u16(static_cast<std::uint16_t>(v >> 16));
        }
    };
    if (bigEndian) {
        out.insert(out.end(), {'M', 'M', 0, 42});
    } else {
        out.insert(out.end(), {'I', 'I', 42, 0});
    }
    u32(8); // the IFD follows the header
    const std::uint16_t entries = withCount ? 3 : 2;
    u16(entries);
    const std::uint32_t afterIfd = 8 + 2 + entries * 12 + 4;
    u16(0xB000); // MPFVersion "0100"
    u16(7);
    u32(4);
    out.insert(out.end(), {'0', '1', '0', '0'});
    if (withCount) {
        u16(0xB001); // NumberOfImages
        u16(4);
        u32(1);
        u32(images);
    }
    u16(0xB002); // MPEntry: 16 bytes an image, after the IFD
    u16(7);
    u32(16 * images);
    u32(afterIfd);
    u32(0); // no next IFD
    for (std::uint32_t i = 0; i < images; ++i) {
        u32(i == 0 ? 0x20030000u : 0x00000000u); // primary image, baseline MP
        u32(0);                                  // size
        u32(0);                                  // offset
        u16(0);
        u16(0);
    }
    return out;
}

void writeMpo(const std::filesystem::path& path, const std::vector<Picture>& images) {
    std::vector<std::vector<std::uint8_t>> files;
    for (std::size_t i = 0; i < images.size(); ++i) {
        JpegOptions options;
        if (i == 0) options.app2 = mpfSegment(static_cast<std::uint32_t>(images.size()));
        writeJpeg(path, images[i], options);
        files.push_back(readBytes(path));
    }
    // Sizes and offsets into the primary's index; offsets count from its TIFF header.
    std::vector<std::uint8_t>& primary = files[0];
    const auto mpf = std::search(primary.begin(), primary.end(), "MPF", "MPF" + 4);
    check(mpf != primary.end(), "mpf segment");
    const std::size_t tiff = static_cast<std::size_t>(mpf - primary.begin()) + 4;
    const std::size_t entries = tiff + 8 + 2 + 3 * 12 + 4;
    const auto put = [&](std::size_t at, std::uint32_t v) {
        for (int k = 0; k < 4; ++k)
            primary[at + k] = static_cast<std::uint8_t>(v >> (24 - 8 * k));
    };
    std::size_t start = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        put(entries + i * 16 + 4, static_cast<std::uint32_t>(files[i].size()));
        put(entries + i * 16 + 8, i == 0 ? 0 : static_cast<std::uint32_t>(start - tiff));
        start += files[i].size();
    }
    std::vector<std::uint8_t> all;
    for (const auto& file : files)
        all.insert(all.end(), file.begin(), file.end());
    writeBytes(path, all);
}

void writeAdobeCmykJpeg(const std::filesystem::path& path, int width, int height,
                        const std::array<std::uint8_t, 4>& ink) {
    File file(std::fopen(path.c_str(), "wb"));
    check(file != nullptr, "open jpeg");
    jpeg_compress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file.get());
    cinfo.image_width = width;
    cinfo.image_height = height;
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    jpeg_set_colorspace(&cinfo, JCS_YCCK); // writes the Adobe marker, as Photoshop does
    jpeg_set_quality(&cinfo, 95, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(width) * 4);
    for (int x = 0; x < width; ++x)
        for (int c = 0; c < 4; ++c)
            row[x * 4 + c] = static_cast<std::uint8_t>(255 - ink[c]);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
}

std::vector<std::uint8_t> pngBytes(const Picture& picture, const PngOptions& options) {
    common::Owned<spng_ctx, spng_ctx_free> ctx(spng_ctx_new(SPNG_CTX_ENCODER));
    spng_set_option(ctx.get(), SPNG_ENCODE_TO_BUFFER, 1);
    spng_ihdr ihdr{};
    ihdr.width = picture.width;
    ihdr.height = picture.height;
    ihdr.interlace_method = options.interlaced ? SPNG_INTERLACE_ADAM7 : SPNG_INTERLACE_NONE;
    std::vector<std::uint8_t> data;
    spng_plte plte{};
    spng_trns trns{};
    switch (options.kind) {
    case PngKind::Rgb8:
        ihdr.color_type = SPNG_COLOR_TYPE_TRUECOLOR;
        ihdr.bit_depth = 8;
        for (const Rgba& p : picture.pixels)
            data.insert(data.end(), {p.r, p.g, p.b});
        break;
    case PngKind::Rgba8:
        ihdr.color_type = SPNG_COLOR_TYPE_TRUECOLOR_ALPHA;
        ihdr.bit_depth = 8;
        for (const Rgba& p : picture.pixels)
            data.insert(data.end(), {p.r, p.g, p.b, p.a});
        break;
    case PngKind::Rgb16:
        ihdr.color_type = SPNG_COLOR_TYPE_TRUECOLOR;
        ihdr.bit_depth = 16;
        for (const Rgba& p : picture.pixels)
            for (std::uint8_t v : {p.r, p.g, p.b})
                data.insert(data.end(), {v, v}); // big-endian 16-bit
        break;
    case PngKind::Grey8:
        ihdr.color_type = SPNG_COLOR_TYPE_GRAYSCALE;
        ihdr.bit_depth = 8;
        for (const Rgba& p : picture.pixels)
            data.push_back(p.r);
        break;
    case PngKind::Palette: {
        // Every distinct colour gets an entry; alpha goes to tRNS.
        ihdr.color_type = SPNG_COLOR_TYPE_INDEXED;
        ihdr.bit_depth = 8;
        std::vector<std::uint32_t> seen;
        for (const Rgba& p : picture.pixels) {
            const std::uint32_t key = (std::uint32_t{p.r} << 24) | (p.g << 16) | (p.b << 8) | p.a;
            std::size_t index = 0;
            while (index < seen.size() && seen[index] != key)
                ++index;
            if (index == seen.size()) {
                check(seen.size() < 256, "palette");
                seen.push_back(key);
                plte.entries[index] = {p.r, p.g, p.b, 0};
                trns.type3_alpha[index] = p.a;
            }
            data.push_back(static_cast<std::uint8_t>(index));
        }
        plte.n_entries = static_cast<std::uint32_t>(seen.size());
        trns.n_type3_entries = plte.n_entries;
        break;
    }
    }
    spng_set_ihdr(ctx.get(), &ihdr);
    if (options.kind == PngKind::Palette) {
        spng_set_plte(ctx.get(), &plte);
        spng_set_trns(ctx.get(), &trns);
    }
    if (!options.icc.empty()) {
        spng_iccp iccp{};
        std::snprintf(iccp.profile_name, sizeof iccp.profile_name, "test");
        iccp.profile_len = options.icc.size();
        iccp.profile = reinterpret_cast<char*>(const_cast<std::uint8_t*>(options.icc.data()));
        spng_set_iccp(ctx.get(), &iccp);
    }
    std::vector<std::uint8_t> exif;
    if (options.orientation) {
        exif = exifWithOrientation(options.orientation);
        spng_exif e{exif.size(), reinterpret_cast<char*>(exif.data())};
        spng_set_exif(ctx.get(), &e);
    }
    const int status =
        spng_encode_image(ctx.get(), data.data(), data.size(), SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE);
    check(status == 0, spng_strerror(status));
    std::size_t length = 0;
    int error = 0;
    common::Malloced<void> buffer(spng_get_png_buffer(ctx.get(), &length, &error));
    check(buffer != nullptr, "png buffer");
    const auto* bytes = static_cast<const std::uint8_t*>(buffer.get());
    return {bytes, bytes + length};
}

void writePng(const std::filesystem::path& path, const Picture& picture,
              const PngOptions& options) {
    writeBytes(path, pngBytes(picture, options));
}

std::vector<std::uint8_t> pngChunk(const char* type, const std::vector<std::uint8_t>& body) {
    std::vector<std::uint8_t> out;
    out.reserve(body.size() + 12); // also spares GCC 12's -O3 a false -Wstringop-overflow
    put32(out, static_cast<std::uint32_t>(body.size()));
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), body.begin(), body.end());
    const uLong crc =
        crc32(crc32(0, nullptr, 0), out.data() + 4, static_cast<uInt>(body.size() + 4));
    put32(out, static_cast<std::uint32_t>(crc));
    return out;
}

std::vector<std::uint8_t> insertBeforeIdat(const std::vector<std::uint8_t>& png,
                                           const std::vector<std::uint8_t>& chunks) {
    std::size_t at = 8;
    while (at + 8 <= png.size()) {
        const std::uint32_t length =
            (std::uint32_t{png[at]} << 24) | (png[at + 1] << 16) | (png[at + 2] << 8) | png[at + 3];
        if (std::equal(png.begin() + at + 4, png.begin() + at + 8, "IDAT")) break;
        at += 12 + length;
    }
    std::vector<std::uint8_t> out(png.begin(), png.begin() + at);
    out.insert(out.end(), chunks.begin(), chunks.end());
    out.insert(out.end(), png.begin() + at, png.end());
    return out;
}

std::vector<std::uint8_t> pngHeaderOnly(std::uint32_t width, std::uint32_t height) {
    std::vector<std::uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::uint8_t> ihdr;
    put32(ihdr, width);
    put32(ihdr, height);
    ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});
    const auto a = pngChunk("IHDR", ihdr);
    const auto data = pngChunk("IDAT", {0x78, 0x9C}); // a zlib header and nothing after it
    const auto end = pngChunk("IEND", {});
    for (const auto* chunk : {&a, &data, &end})
        out.insert(out.end(), chunk->begin(), chunk->end());
    return out;
}

std::vector<std::uint8_t> readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    check(static_cast<bool>(out), "write file");
}

} // namespace fixtures
