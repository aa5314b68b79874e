#include "format_fixtures.h"

#include "common/unique_handle.h"

#include <gif_lib.h>
#include <libheif/heif.h>
#include <stdexcept>
#include <tiffio.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include <algorithm>
#include <cstring>

namespace fixtures {
namespace {

void check(bool ok, const char* what) {
    if (!ok) throw std::runtime_error(what);
}

std::vector<std::uint8_t> rgbaBytes(const Picture& picture) {
    std::vector<std::uint8_t> out;
    for (const Rgba& p : picture.pixels)
        out.insert(out.end(), {p.r, p.g, p.b, p.a});
    return out;
}

} // namespace

void writeGif(const std::filesystem::path& path, int screenWidth, int screenHeight,
              const std::vector<GifFrame>& frames) {
    int error = 0;
    GifFileType* gif = EGifOpenFileName(path.c_str(), false, &error);
    check(gif != nullptr, "gif open");
    EGifSetGifVersion(gif, true);
    // One global palette: entry 0 is transparent, the rest are the frames' colours.
    std::vector<GifColorType> colours(1, GifColorType{0, 0, 0});
    auto indexOf = [&](Rgba p) {
        if (p.a == 0) return 0;
        for (std::size_t i = 1; i < colours.size(); ++i)
            if (colours[i].Red == p.r && colours[i].Green == p.g && colours[i].Blue == p.b)
                return static_cast<int>(i);
        colours.push_back({p.r, p.g, p.b});
        return static_cast<int>(colours.size() - 1);
    };
    std::vector<std::vector<GifPixelType>> indices;
    for (const GifFrame& frame : frames) {
        indices.emplace_back();
        for (const Rgba& p : frame.picture.pixels)
            indices.back().push_back(static_cast<GifPixelType>(indexOf(p)));
    }
    check(colours.size() <= 256, "gif palette");
    colours.resize(256, GifColorType{0, 0, 0});
    ColorMapObject* map = GifMakeMapObject(256, colours.data());
    EGifPutScreenDesc(gif, screenWidth, screenHeight, 8, 0, map);
    for (std::size_t f = 0; f < frames.size(); ++f) {
        const GifFrame& frame = frames[f];
        GraphicsControlBlock gcb{};
        gcb.TransparentColor = 0;
        gcb.DelayTime = 10;
        GifByteType ext[4];
        const std::size_t length = EGifGCBToExtension(&gcb, ext);
        EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), ext);
        const int w = frame.picture.width;
        const int h = frame.picture.height;
        EGifPutImageDesc(gif, frame.left, frame.top, w, h, frame.interlaced, nullptr);
        std::vector<int> order;
        if (frame.interlaced) {
            for (const auto& [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}})
                for (int y = start; y < h; y += step)
                    order.push_back(y);
        } else {
            for (int y = 0; y < h; ++y)
                order.push_back(y);
        }
        for (int y : order)
            EGifPutLine(gif, &indices[f][static_cast<std::size_t>(y) * w], w);
    }
    GifFreeMapObject(map);
    check(EGifCloseFile(gif, &error) == GIF_OK, "gif close");
}

void writeWebp(const std::filesystem::path& path, const Picture& picture,
               const WebpOptions& options) {
    const auto rgba = rgbaBytes(picture);
    std::uint8_t* encoded = nullptr;
    const std::size_t size =
        options.lossless ? WebPEncodeLosslessRGBA(rgba.data(), picture.width, picture.height,
                                                  picture.width * 4, &encoded)
                         : WebPEncodeRGBA(rgba.data(), picture.width, picture.height,
                                          picture.width * 4, 90, &encoded);
    check(size > 0, "webp encode");
    std::vector<std::uint8_t> bytes(encoded, encoded + size);
    WebPFree(encoded);
    if (options.orientation) {
        const WebPData image{bytes.data(), bytes.size()};
        WebPMux* mux = WebPMuxCreate(&image, 1);
        const auto exif = exifWithOrientation(options.orientation);
        const WebPData exifData{exif.data(), exif.size()};
        WebPMuxSetChunk(mux, "EXIF", &exifData, 1);
        WebPData assembled{};
        check(WebPMuxAssemble(mux, &assembled) == WEBP_MUX_OK, "webp mux");
        bytes.assign(assembled.bytes, assembled.bytes + assembled.size);
        WebPDataClear(&assembled);
        WebPMuxDelete(mux);
    }
    writeBytes(path, bytes);
}

void writeAnimatedWebp(const std::filesystem::path& path, const std::vector<Picture>& frames) {
    WebPAnimEncoderOptions options;
    WebPAnimEncoderOptionsInit(&options);
    WebPAnimEncoder* encoder = WebPAnimEncoderNew(frames[0].width, frames[0].height, &options);
    WebPConfig config;
    WebPConfigInit(&config);
    int timestamp = 0;
    for (const Picture& frame : frames) {
        WebPPicture picture;
        WebPPictureInit(&picture);
        picture.width = frame.width;
        picture.height = frame.height;
        picture.use_argb = 1;
        const auto rgba = rgbaBytes(frame);
        WebPPictureImportRGBA(&picture, rgba.data(), frame.width * 4);
        check(WebPAnimEncoderAdd(encoder, &picture, timestamp, &config) != 0, "webp anim add");
        WebPPictureFree(&picture);
        timestamp += 100;
    }
    WebPAnimEncoderAdd(encoder, nullptr, timestamp, nullptr);
    WebPData data{};
    check(WebPAnimEncoderAssemble(encoder, &data) != 0, "webp anim assemble");
    writeBytes(path, std::vector<std::uint8_t>(data.bytes, data.bytes + data.size));
    WebPDataClear(&data);
    WebPAnimEncoderDelete(encoder);
}

void writeTiff(const std::filesystem::path& path, const Picture& picture,
               const TiffOptions& options) {
    const std::string mode =
        std::string("w") + (options.bigTiff ? "8" : "") + (options.bigEndian ? "b" : "l");
    TIFF* tiff = TIFFOpen(path.c_str(), mode.c_str());
    check(tiff != nullptr, "tiff open");
    const int colours = options.grey ? 1 : 3;
    const int channels = colours + (options.alpha ? 1 : 0);
    const int bits = options.sixteen ? 16 : 8;
    const std::size_t pixelBytes = static_cast<std::size_t>(channels) * bits / 8;
    // One pixel's samples, as stored.
    const auto store = [&](std::uint8_t* out, Rgba p) {
        const std::uint8_t values[4] = {p.r, options.grey ? p.a : p.g, p.b, p.a};
        for (int c = 0; c < channels; ++c) {
            if (options.sixteen) {
                const std::uint16_t v = static_cast<std::uint16_t>(values[c] * 257);
                std::memcpy(out + static_cast<std::size_t>(c) * 2, &v, 2);
            } else {
                out[c] = values[c];
            }
        }
    };
    for (int page = 0; page < options.pages; ++page) {
        TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, picture.width);
        TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, picture.height);
        TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, channels);
        TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, bits);
        TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC,
                     options.grey ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB);
        TIFFSetField(tiff, TIFFTAG_PLANARCONFIG,
                     options.separatePlanes ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG);
        const uint16_t compressions[] = {COMPRESSION_NONE, COMPRESSION_LZW, COMPRESSION_DEFLATE,
                                         COMPRESSION_ADOBE_DEFLATE, COMPRESSION_PACKBITS};
        TIFFSetField(tiff, TIFFTAG_COMPRESSION,
                     compressions[static_cast<int>(options.compression)]);
        if (options.differenced) TIFFSetField(tiff, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
        TIFFSetField(tiff, TIFFTAG_ORIENTATION, options.orientation);
        if (options.alpha) {
            const uint16_t extra[] = {EXTRASAMPLE_UNASSALPHA};
            TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, extra);
        }
        if (options.tileSide > 0) {
            const int side = options.tileSide;
            TIFFSetField(tiff, TIFFTAG_TILEWIDTH, side);
            TIFFSetField(tiff, TIFFTAG_TILELENGTH, side);
            std::vector<std::uint8_t> tile(static_cast<std::size_t>(side) * side * pixelBytes);
            for (int ty = 0; ty < picture.height; ty += side) {
                for (int tx = 0; tx < picture.width; tx += side) {
                    std::fill(tile.begin(), tile.end(), 0);
                    for (int y = ty; y < std::min(ty + side, picture.height); ++y)
                        for (int x = tx; x < std::min(tx + side, picture.width); ++x)
                            store(&tile[(static_cast<std::size_t>(y - ty) * side + (x - tx)) *
                                        pixelBytes],
                                  picture.at(x, y));
                    check(TIFFWriteTile(tiff, tile.data(), static_cast<uint32_t>(tx),
                                        static_cast<uint32_t>(ty), 0, 0) >= 0,
                          "tiff tile");
                }
            }
        } else if (options.separatePlanes) {
            const int rows = options.rowsPerStrip > 0 ? options.rowsPerStrip : picture.height;
            TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, rows);
            const std::size_t sampleBytes = pixelBytes / static_cast<std::size_t>(channels);
            std::vector<std::uint8_t> pixel(pixelBytes);
            std::vector<std::uint8_t> row(static_cast<std::size_t>(picture.width) * sampleBytes);
            for (int c = 0; c < channels; ++c) {
                for (int y = 0; y < picture.height; ++y) {
                    for (int x = 0; x < picture.width; ++x) {
                        store(pixel.data(), picture.at(x, y));
                        std::memcpy(&row[static_cast<std::size_t>(x) * sampleBytes],
                                    &pixel[static_cast<std::size_t>(c) * sampleBytes], sampleBytes);
                    }
                    check(TIFFWriteScanline(tiff, row.data(), static_cast<uint32_t>(y),
                                            static_cast<uint16_t>(c)) == 1,
                          "tiff plane row");
                }
            }
        } else {
            const int rows = options.rowsPerStrip > 0 ? options.rowsPerStrip : picture.height;
            TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, rows);
            std::vector<std::uint8_t> row(static_cast<std::size_t>(picture.width) * pixelBytes);
            for (int y = 0; y < picture.height; ++y) {
                for (int x = 0; x < picture.width; ++x)
                    store(&row[static_cast<std::size_t>(x) * pixelBytes], picture.at(x, y));
                check(TIFFWriteScanline(tiff, row.data(), static_cast<uint32_t>(y), 0) == 1,
                      "tiff row");
            }
        }
        TIFFWriteDirectory(tiff);
    }
    TIFFClose(tiff);
}

namespace {

void writeHeif(const std::filesystem::path& path, const Picture& picture,
               heif_compression_format compression, int orientation, int images, bool alpha) {
    common::Owned<heif_context, heif_context_free> ctx(heif_context_alloc());
    heif_encoder* encoder = nullptr;
    check(heif_context_get_encoder_for_format(ctx.get(), compression, &encoder).code ==
              heif_error_Ok,
          "heif encoder");
    heif_encoder_set_lossy_quality(encoder, 90);
    if (compression == heif_compression_AV1) {
        heif_encoder_set_parameter(encoder, "speed", "9");
    } else {
        heif_encoder_set_parameter(encoder, "preset", "ultrafast");
    }
    heif_image* image = nullptr;
    heif_image_create(picture.width, picture.height, heif_colorspace_RGB,
                      alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, &image);
    heif_image_add_plane(image, heif_channel_interleaved, picture.width, picture.height, 8);
    int stride = 0;
    std::uint8_t* plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
    const int samples = alpha ? 4 : 3;
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) {
            const Rgba p = picture.at(x, y);
            const std::uint8_t values[] = {p.r, p.g, p.b, p.a};
            std::copy_n(values, samples,
                        plane + static_cast<std::size_t>(y) * stride +
                            static_cast<std::size_t>(x) * samples);
        }
    heif_encoding_options* options = heif_encoding_options_alloc();
    options->image_orientation = static_cast<heif_orientation>(orientation);
    for (int i = 0; i < images; ++i)
        check(heif_context_encode_image(ctx.get(), image, encoder, options, nullptr).code ==
                  heif_error_Ok,
              "heif encode");
    heif_encoding_options_free(options);
    heif_image_release(image);
    heif_encoder_release(encoder);
    check(heif_context_write_to_file(ctx.get(), path.c_str()).code == heif_error_Ok, "heif write");
}

} // namespace

void writeAvif(const std::filesystem::path& path, const Picture& picture, int orientation,
               int images, bool alpha) {
    writeHeif(path, picture, heif_compression_AV1, orientation, images, alpha);
}

void writeHeic(const std::filesystem::path& path, const Picture& picture, bool alpha) {
    writeHeif(path, picture, heif_compression_HEVC, 1, 1, alpha);
}

} // namespace fixtures
