#include "host/platform/linux/x11/downscale.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace host::platform::x11 {
namespace {

// For each target position along one axis, the run of source positions that contribute to
// it (`first`, `count`) and their weights, flat in `weights` from `offset`.
struct Taps {
    std::vector<int> first;
    std::vector<int> count;
    std::vector<std::size_t> offset;
    std::vector<float> weights;
};

Taps tapsFor(int source, int target) {
    Taps taps;
    const double scale = static_cast<double>(source) / target;
    for (int i = 0; i < target; ++i) {
        taps.offset.push_back(taps.weights.size());
        if (scale > 1.0) {
            // Area average: the target pixel covers [i × scale, (i + 1) × scale).
            const double begin = i * scale;
            const double end = std::min<double>((i + 1) * scale, source);
            const int first = static_cast<int>(begin);
            int count = 0;
            for (int s = first; s < end; ++s, ++count) {
                const double covered = std::min<double>(s + 1, end) - std::max<double>(s, begin);
                taps.weights.push_back(static_cast<float>(covered / (end - begin)));
            }
            taps.first.push_back(first);
            taps.count.push_back(count);
        } else {
            // Bilinear between the two nearest source centres.
            const double centre = std::clamp((i + 0.5) * scale - 0.5, 0.0, source - 1.0);
            const int left = static_cast<int>(centre);
            const int right = std::min(left + 1, source - 1);
            const auto t = static_cast<float>(centre - left);
            taps.first.push_back(left);
            taps.count.push_back(right - left + 1);
            taps.weights.push_back(1.0f - t);
            if (right != left) taps.weights.push_back(t);
        }
    }
    return taps;
}

unsigned char toByte(float v) {
    return static_cast<unsigned char>(std::clamp(v + 0.5f, 0.0f, 255.0f));
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

    // Columns first, only for the source rows some target row reads; then rows.
    const Taps columns = tapsFor(source.width, width);
    const Taps rows = tapsFor(source.height, height);
    const std::size_t across = static_cast<std::size_t>(width) * 3;
    std::vector<float> scaled(across * source.height);
    for (int y = 0; y < source.height; ++y) {
        const unsigned char* from = source.pixels + y * source.stride;
        float* to = scaled.data() + y * across;
        for (int x = 0; x < width; ++x) {
            const float* w = columns.weights.data() + columns.offset[x];
            const unsigned char* p = from + columns.first[x] * 4;
            float b = 0, g = 0, r = 0;
            for (int k = 0; k < columns.count[x]; ++k, p += 4) {
                b += w[k] * p[0];
                g += w[k] * p[1];
                r += w[k] * p[2];
            }
            to[x * 3] = b;
            to[x * 3 + 1] = g;
            to[x * 3 + 2] = r;
        }
    }
    std::vector<float> sum(across);
    for (int y = 0; y < height; ++y) {
        std::fill(sum.begin(), sum.end(), 0.0f);
        const float* w = rows.weights.data() + rows.offset[y];
        for (int k = 0; k < rows.count[y]; ++k) {
            const float* from = scaled.data() + (rows.first[y] + k) * across;
            const float weight = w[k];
            for (std::size_t i = 0; i < across; ++i)
                sum[i] += weight * from[i];
        }
        unsigned char* to = out.data() + y * outStride;
        for (int x = 0; x < width; ++x) {
            to[x * 4] = toByte(sum[x * 3]);
            to[x * 4 + 1] = toByte(sum[x * 3 + 1]);
            to[x * 4 + 2] = toByte(sum[x * 3 + 2]);
            to[x * 4 + 3] = 255;
        }
    }
    return out;
}

} // namespace host::platform::x11
