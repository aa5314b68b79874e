// Captured pixels of any size and row stride, resampled to any size: the output has the
// asked size with X bytes 255, stays within the range of the source's values (area
// averages and bilinear blends never overshoot), and equal sizes copy the pixels exactly.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fuzzer/FuzzedDataProvider.h>
#include <vector>

#include "host/platform/linux/downscale.h"

using host::platform::linux_desktop::PixelView;
using host::platform::linux_desktop::resample;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const int width = input.ConsumeIntegralInRange<int>(1, 300);
    const int height = input.ConsumeIntegralInRange<int>(1, 300);
    const std::size_t stride =
        static_cast<std::size_t>(width) * 4 + input.ConsumeIntegralInRange<std::size_t>(0, 64);
    const bool same = input.ConsumeBool();
    const int toWidth = same ? width : input.ConsumeIntegralInRange<int>(1, 400);
    const int toHeight = same ? height : input.ConsumeIntegralInRange<int>(1, 400);

    // The pixels: what is left of the input, repeated to fill the rows.
    std::vector<unsigned char> pixels(stride * static_cast<std::size_t>(height));
    const std::vector<std::uint8_t> fill = input.ConsumeRemainingBytes<std::uint8_t>();
    for (std::size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = fill.empty() ? static_cast<unsigned char>(i * 7) : fill[i % fill.size()];

    const std::vector<unsigned char> out =
        resample(PixelView{pixels.data(), width, height, stride}, toWidth, toHeight);
    if (out.size() != static_cast<std::size_t>(toWidth) * toHeight * 4) std::abort();

    std::array<unsigned char, 3> low{255, 255, 255};
    std::array<unsigned char, 3> high{0, 0, 0};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const unsigned char* p = &pixels[y * stride + x * 4];
            for (int c = 0; c < 3; ++c) {
                low[c] = std::min(low[c], p[c]);
                high[c] = std::max(high[c], p[c]);
            }
        }
    }
    for (std::size_t i = 0; i < out.size(); i += 4) {
        if (out[i + 3] != 255) std::abort();
        for (int c = 0; c < 3; ++c) {
            if (out[i + c] < low[c] || out[i + c] > high[c]) std::abort();
        }
    }
    if (same) {
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                for (int c = 0; c < 3; ++c) {
                    if (out[(static_cast<std::size_t>(y) * width + x) * 4 + c] !=
                        pixels[y * stride + x * 4 + c])
                        std::abort();
                }
            }
        }
    }
    return 0;
}
