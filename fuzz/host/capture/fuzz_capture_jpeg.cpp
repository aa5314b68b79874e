// Captured images described any way, right or wrong, through observe's JPEG encoder: it
// encodes exactly the images that describe their own pixels, and what it encodes decodes
// to the same size.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fuzzer/FuzzedDataProvider.h>
#include <turbojpeg.h>

#include "host/actions/jpeg_encoder.h"

namespace {

// The encoder's contract, stated apart from its code: positive sizes within JPEG's limit,
// rows of at least width × 4 bytes, and a buffer that holds the last row.
bool describesItself(const host::platform::CapturedImage& image) {
    if (image.width <= 0 || image.height <= 0 || image.width > 65500 || image.height > 65500)
        return false;
    const std::size_t row = static_cast<std::size_t>(image.width) * 4;
    return image.stride >= row &&
           image.bgrx.size() >= image.stride * static_cast<std::size_t>(image.height - 1) + row;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    host::platform::CapturedImage image;
    image.width = input.ConsumeIntegralInRange<int>(-2, 260);
    image.height = input.ConsumeIntegralInRange<int>(-2, 260);
    // Strides as an X server reports them: 32-bit, mostly close to the row.
    const std::size_t row = image.width > 0 ? static_cast<std::size_t>(image.width) * 4 : 0;
    image.stride = input.ConsumeBool() ? input.ConsumeIntegral<std::uint32_t>()
                                       : row + input.ConsumeIntegralInRange<std::size_t>(0, 40);
    if (input.ConsumeBool() && row > 0) image.stride = row - 1;
    const int quality = input.ConsumeIntegralInRange<int>(-5, 110);
    // The buffer: as long as the last row needs, give or take a few bytes, so that the
    // boundary is tried; a few bytes only when the description asks for more than 4 MiB.
    const std::size_t needed =
        image.height > 0 ? image.stride * static_cast<std::size_t>(image.height - 1) + row : 0;
    const int delta = input.ConsumeIntegralInRange<int>(-8, 8);
    std::size_t length = input.ConsumeIntegralInRange<std::size_t>(0, 4096);
    if (needed <= (1u << 22))
        length = delta < 0 ? needed - std::min<std::size_t>(needed, -delta) : needed + delta;
    const std::vector<std::uint8_t> fill = input.ConsumeRemainingBytes<std::uint8_t>();
    image.bgrx.resize(length);
    for (std::size_t i = 0; i < length; ++i)
        image.bgrx[i] = fill.empty() ? static_cast<unsigned char>(i) : fill[i % fill.size()];

    const auto jpeg = host::encodeJpeg(image, quality);
    if (jpeg.has_value() != describesItself(image)) std::abort();
    if (!jpeg) return 0;

    tjhandle decoder = tjInitDecompress();
    if (!decoder) std::abort();
    int width = 0, height = 0, subsampling = 0, colourspace = 0;
    const int status =
        tjDecompressHeader3(decoder, jpeg->data(), static_cast<unsigned long>(jpeg->size()), &width,
                            &height, &subsampling, &colourspace);
    tjDestroy(decoder);
    if (status != 0 || width != image.width || height != image.height) std::abort();
    return 0;
}
