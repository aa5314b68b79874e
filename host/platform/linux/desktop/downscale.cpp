#include "host/platform/linux/desktop/downscale.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace host::platform::x11 {
namespace {

struct Tap {
    int index;
    float weight;
};

// For each target position along one axis, the source positions that contribute to it.
std::vector<std::vector<Tap>> tapsFor(int source, int target) {
    std::vector<std::vector<Tap>> taps(static_cast<std::size_t>(target));
    const double scale = static_cast<double>(source) / target;
    for (int i = 0; i < target; ++i) {
        auto& row = taps[static_cast<std::size_t>(i)];
        if (scale > 1.0) {
            // Area average: the target pixel covers [i × scale, (i + 1) × scale).
            const double begin = i * scale;
            const double end = std::min<double>((i + 1) * scale, source);
            for (int s = static_cast<int>(begin); s < end; ++s) {
                const double covered = std::min<double>(s + 1, end) - std::max<double>(s, begin);
                if (covered > 0) row.push_back({s, static_cast<float>(covered / (end - begin))});
            }
        } else {
            // Bilinear between the two nearest source centres.
            const double centre = std::clamp((i + 0.5) * scale - 0.5, 0.0, source - 1.0);
            const int left = static_cast<int>(centre);
            const int right = std::min(left + 1, source - 1);
            const auto t = static_cast<float>(centre - left);
            row.push_back({left, 1.0f - t});
            if (right != left) row.push_back({right, t});
        }
    }
    return taps;
}

} // namespace

std::vector<unsigned char> resample(PixelView source, int width, int height) {
    std::vector<unsigned char> out(static_cast<std::size_t>(width) * height * 4);
    if (source.width <= 0 || source.height <= 0 || width <= 0 || height <= 0) return out;
    const std::size_t outStride = static_cast<std::size_t>(width) * 4;

    if (source.width == width && source.height == height) {
        for (int y = 0; y < height; ++y) {
            const unsigned char* from = source.pixels + y * source.stride;
            unsigned char* to = out.data() + y * outStride;
            std::memcpy(to, from, outStride);
            for (int x = 0; x < width; ++x)
                to[x * 4 + 3] = 255;
        }
        return out;
    }

    // Rows first (into floats), then columns.
    const auto columns = tapsFor(source.width, width);
    const auto rows = tapsFor(source.height, height);
    std::vector<float> across(static_cast<std::size_t>(width) * source.height * 3);
    for (int y = 0; y < source.height; ++y) {
        const unsigned char* from = source.pixels + y * source.stride;
        float* to = across.data() + static_cast<std::size_t>(y) * width * 3;
        for (int x = 0; x < width; ++x) {
            float b = 0, g = 0, r = 0;
            for (const Tap& tap : columns[static_cast<std::size_t>(x)]) {
                const unsigned char* p = from + tap.index * 4;
                b += tap.weight * p[0];
                g += tap.weight * p[1];
                r += tap.weight * p[2];
            }
            to[x * 3] = b;
            to[x * 3 + 1] = g;
            to[x * 3 + 2] = r;
        }
    }
    std::vector<float> sum(static_cast<std::size_t>(width) * 3);
    for (int y = 0; y < height; ++y) {
        std::fill(sum.begin(), sum.end(), 0.0f);
        for (const Tap& tap : rows[static_cast<std::size_t>(y)]) {
            const float* from = across.data() + static_cast<std::size_t>(tap.index) * width * 3;
            for (std::size_t k = 0; k < sum.size(); ++k)
                sum[k] += tap.weight * from[k];
        }
        unsigned char* to = out.data() + y * outStride;
        for (int x = 0; x < width; ++x) {
            for (int channel = 0; channel < 3; ++channel)
                to[x * 4 + channel] = static_cast<unsigned char>(std::clamp(
                    std::lround(sum[static_cast<std::size_t>(x) * 3 + channel]), 0L, 255L));
            to[x * 4 + 3] = 255;
        }
    }
    return out;
}

} // namespace host::platform::x11
