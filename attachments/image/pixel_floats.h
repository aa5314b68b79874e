#pragma once
// Delivered pixels as the floats that scaling and flattening work in: four a pixel on the
// 0..255 scale, colour multiplied by alpha wherever the layout has alpha, so that
// resampling never bleeds the colour of transparent pixels into their neighbours.

#include "attachments/image/image_decoder.h"
#include "attachments/image/lanczos_scaler.h"

#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace attachments {

inline bool hasAlpha(PixelLayout layout) {
    return layout == PixelLayout::Rgba || layout == PixelLayout::RgbaPremultiplied;
}

inline bool isCmyk(PixelLayout layout) {
    return layout == PixelLayout::Cmyk || layout == PixelLayout::CmykInverted;
}

// One delivered pixel's four bytes as four floats.
inline Pixel4 toFloats(const unsigned char* pixel) {
#if defined(__SSE2__)
    // Widened and converted in one register: compilers do not find this for SSE2 alone.
    std::int32_t word;
    std::memcpy(&word, pixel, sizeof word);
    const __m128i zero = _mm_setzero_si128();
    const __m128i wide = _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(word), zero), zero);
    return std::bit_cast<Pixel4>(_mm_cvtepi32_ps(wide));
#else
    return Pixel4{float(pixel[0]), float(pixel[1]), float(pixel[2]), float(pixel[3])};
#endif
}

// `count` delivered pixels of `layout` as floats, straight alpha multiplied in.
inline void toPremultipliedFloats(const unsigned char* pixels, PixelLayout layout, Pixel4* out,
                                  std::size_t count) {
    if (layout == PixelLayout::Rgba) {
        for (std::size_t x = 0; x < count; ++x, pixels += 4) {
            const Pixel4 p = toFloats(pixels);
            const float a = p[3] * (1.0f / 255.0f);
            out[x] = p * Pixel4{a, a, a, 1.0f};
        }
        return;
    }
    for (std::size_t x = 0; x < count; ++x, pixels += 4)
        out[x] = toFloats(pixels);
}

} // namespace attachments
