#include "attachments/image/still_av1_decoder.h"

#include "attachments/image/dav1d_library.h"
#include "attachments/image/heif_library.h"

#include <libheif/heif_plugin.h>

#include <cstring>
#include <new>

namespace attachments {
namespace {

// Above libheif's dav1d (150) and aom (100) decoders.
constexpr int kPriority = 200;
// The largest frame libheif lets its own decoder take.
constexpr unsigned kMostFramePixels = 32768u * 32768u;

constexpr heif_error kOk = {heif_error_Ok, heif_suberror_Unspecified, "Success"};
constexpr heif_error kFailed = {heif_error_Decoder_plugin_error, heif_suberror_Unspecified,
                                "AV1 decoding failed"};

struct Decoder {
    Dav1dContext* context = nullptr;
    Dav1dData data{}; // what libheif pushed, in dav1d's own buffer
};

int supports(heif_compression_format format) {
    return format == heif_compression_AV1 ? kPriority : 0;
}

heif_error newDecoder(void** out) {
    const Dav1dLibrary* dav1d = dav1dLibrary();
    auto* decoder = new (std::nothrow) Decoder;
    if (!dav1d || !decoder) return kFailed;
    Dav1dSettings settings;
    dav1d->default_settings(&settings);
    settings.frame_size_limit = kMostFramePixels;
    settings.all_layers = 0;
    settings.max_frame_delay = 1;
    if (dav1d->open(&decoder->context, &settings) != 0) {
        delete decoder;
        return kFailed;
    }
    *out = decoder;
    return kOk;
}

void freeDecoder(void* raw) {
    auto* decoder = static_cast<Decoder*>(raw);
    dav1dLibrary()->data_unref(&decoder->data);
    if (decoder->context) dav1dLibrary()->close(&decoder->context);
    delete decoder;
}

// libheif pushes an item's data once; data pushed later is appended.
heif_error pushData(void* raw, const void* data, size_t size) {
    Decoder& decoder = *static_cast<Decoder*>(raw);
    const Dav1dLibrary& dav1d = *dav1dLibrary();
    const std::size_t held = decoder.data.sz;
    Dav1dData joined{};
    uint8_t* buffer = dav1d.data_create(&joined, held + size);
    if (!buffer) return kFailed;
    if (held) std::memcpy(buffer, decoder.data.data, held);
    if (size) std::memcpy(buffer + held, data, size);
    dav1d.data_unref(&decoder.data);
    decoder.data = joined;
    return kOk;
}

// The picture's own colour description, which libheif uses unless the file has one.
void describeColour(const HeifLibrary& heif, const Dav1dSequenceHeader& sequence,
                    heif_image* image) {
    heif_color_profile_nclx* nclx = heif.nclx_color_profile_alloc();
    if (!nclx) return;
    // A code outside the standard's lists leaves the default ("unspecified").
    heif.nclx_color_profile_set_color_primaries(nclx, static_cast<uint16_t>(sequence.pri));
    heif.nclx_color_profile_set_transfer_characteristics(nclx, static_cast<uint16_t>(sequence.trc));
    heif.nclx_color_profile_set_matrix_coefficients(nclx, static_cast<uint16_t>(sequence.mtrx));
    nclx->full_range_flag = sequence.color_range != 0;
    heif.image_set_nclx_color_profile(image, nclx);
    heif.nclx_color_profile_free(nclx);
}

// Copies the decoded planes into a new libheif image.
heif_error toHeifImage(const Dav1dPicture& picture, heif_image** out) {
    const HeifLibrary& heif = *heifLibrary();
    heif_chroma chroma = heif_chroma_420;
    switch (picture.p.layout) {
    case DAV1D_PIXEL_LAYOUT_I400:
        chroma = heif_chroma_monochrome;
        break;
    case DAV1D_PIXEL_LAYOUT_I420:
        chroma = heif_chroma_420;
        break;
    case DAV1D_PIXEL_LAYOUT_I422:
        chroma = heif_chroma_422;
        break;
    case DAV1D_PIXEL_LAYOUT_I444:
        chroma = heif_chroma_444;
        break;
    default:
        return kFailed;
    }
    const bool mono = chroma == heif_chroma_monochrome;
    heif_image* image = nullptr;
    if (heif.image_create(picture.p.w, picture.p.h,
                          mono ? heif_colorspace_monochrome : heif_colorspace_YCbCr, chroma, &image)
            .code != heif_error_Ok)
        return kFailed;
    describeColour(heif, *picture.seq_hdr, image);
    const heif_channel channels[] = {heif_channel_Y, heif_channel_Cb, heif_channel_Cr};
    const int bytesPerSample = (picture.p.bpc + 7) / 8;
    for (int c = 0; c < (mono ? 1 : 3); ++c) {
        // Chroma planes are half as wide (4:2:0, 4:2:2) and half as high (4:2:0), rounded up.
        const bool across = c > 0 && chroma != heif_chroma_444;
        const bool down = c > 0 && chroma == heif_chroma_420;
        const int width = across ? (picture.p.w + 1) / 2 : picture.p.w;
        const int height = down ? (picture.p.h + 1) / 2 : picture.p.h;
        int stride = 0;
        uint8_t* plane = nullptr;
        if (heif.image_add_plane(image, channels[c], width, height, picture.p.bpc).code !=
                heif_error_Ok ||
            !(plane = heif.image_get_plane(image, channels[c], &stride))) {
            heif.image_release(image);
            return kFailed;
        }
        const auto* from = static_cast<const uint8_t*>(picture.data[c]);
        const ptrdiff_t fromStride = picture.stride[c > 0 ? 1 : 0];
        for (int y = 0; y < height; ++y)
            std::memcpy(plane + static_cast<ptrdiff_t>(stride) * y, from + fromStride * y,
                        static_cast<std::size_t>(width) * bytesPerSample);
    }
    *out = image;
    return kOk;
}

heif_error decodeImage(void* raw, heif_image** out) {
    auto* decoder = static_cast<Decoder*>(raw);
    const Dav1dLibrary& dav1d = *dav1dLibrary();
    Dav1dData& data = decoder->data;
    if (data.sz == 0) return kFailed;
    // Data goes in until a picture comes out, then the decoder is drained once.
    Dav1dPicture picture{};
    bool drained = false;
    for (;;) {
        const int sent = dav1d.send_data(decoder->context, &data);
        if (sent < 0 && sent != DAV1D_ERR(EAGAIN)) return kFailed;
        const int got = dav1d.get_picture(decoder->context, &picture);
        if (got == DAV1D_ERR(EAGAIN) && !drained) {
            drained = data.sz == 0;
            continue;
        }
        if (got < 0) return kFailed;
        break;
    }
    const heif_error result = toHeifImage(picture, out);
    dav1d.picture_unref(&picture);
    return result;
}

void setStrictDecoding(void*, int) {}

const heif_decoder_plugin kStillAv1Decoder = {
    3,
    [] { return "dav1d, one frame in flight"; },
    nullptr,
    nullptr,
    supports,
    newDecoder,
    freeDecoder,
    pushData,
    decodeImage,
    setStrictDecoding,
    "dav1d-still",
};

} // namespace

void registerStillAv1Decoder() {
    static const bool registered = [] {
        const HeifLibrary* heif = heifLibrary();
        return heif && dav1dLibrary() &&
               heif->register_decoder_plugin(&kStillAv1Decoder).code == heif_error_Ok;
    }();
    (void)registered;
}

} // namespace attachments
