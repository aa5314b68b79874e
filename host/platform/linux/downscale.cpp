#include "host/platform/linux/downscale.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace host::platform::linux_desktop {
namespace {

constexpr int kOne = 256; // a weight of 1 along one axis

// For each target position along one axis, the run of source positions that contribute to
// it (`first`, `count`) and their weights, which sum to exactly kOne, flat in `weights`
// from `offset`.
struct Taps {
    std::vector<int> first;
    std::vector<int> count;
    std::vector<std::size_t> offset;
    std::vector<std::uint16_t> weights;
};

// Weights from fractions that sum to 1: each is the step of the rounded running sum, so
// the rounding never adds up to more or less than kOne.
void pushQuantised(Taps& taps, const double* fractions, int count) {
    double running = 0;
    int given = 0;
    for (int k = 0; k < count; ++k) {
        running += fractions[k];
        const int upTo = k == count - 1 ? kOne : static_cast<int>(std::lround(running * kOne));
        taps.weights.push_back(static_cast<std::uint16_t>(upTo - given));
        given = upTo;
    }
}

Taps tapsFor(int source, int target) {
    Taps taps;
    const double scale = static_cast<double>(source) / target;
    std::vector<double> fractions;
    for (int i = 0; i < target; ++i) {
        taps.offset.push_back(taps.weights.size());
        fractions.clear();
        int first = 0;
        if (scale > 1.0) {
            // Area average: the target pixel covers [i × scale, (i + 1) × scale).
            const double begin = i * scale;
            const double end = std::min<double>((i + 1) * scale, source);
            first = static_cast<int>(begin);
            for (int s = first; s < end; ++s)
                fractions.push_back((std::min<double>(s + 1, end) - std::max<double>(s, begin)) /
                                    (end - begin));
        } else {
            // Bilinear between the two nearest source centres (one at the same size).
            const double centre = std::clamp((i + 0.5) * scale - 0.5, 0.0, source - 1.0);
            first = static_cast<int>(centre);
            const double t = centre - first;
            fractions.push_back(1.0 - t);
            if (first + 1 < source && t > 0) fractions.push_back(t);
        }
        taps.first.push_back(first);
        taps.count.push_back(static_cast<int>(fractions.size()));
        pushQuantised(taps, fractions.data(), static_cast<int>(fractions.size()));
    }
    return taps;
}

// One target row's sources blended: every byte of the source rows, X included (it is
// overwritten later), at most kOne × 255 each.
void blendRows(const PixelView& source, const Taps& rows, int y, std::uint16_t* into) {
    const std::size_t bytes = static_cast<std::size_t>(source.width) * 4;
    const std::uint16_t* w = rows.weights.data() + rows.offset[y];
    const unsigned char* row = source.pixels + rows.first[y] * source.stride;
    for (std::size_t i = 0; i < bytes; ++i)
        into[i] = static_cast<std::uint16_t>(w[0] * row[i]);
    for (int k = 1; k < rows.count[y]; ++k) {
        row += source.stride;
        const std::uint16_t weight = w[k];
        for (std::size_t i = 0; i < bytes; ++i)
            into[i] = static_cast<std::uint16_t>(into[i] + weight * row[i]);
    }
}

// The blended row's columns to target pixels: sums of at most kOne × kOne × 255, rounded.
void blendColumns(const std::uint16_t* from, const Taps& columns, int width, unsigned char* to) {
    for (int x = 0; x < width; ++x) {
        const std::uint16_t* w = columns.weights.data() + columns.offset[x];
        const std::uint16_t* p = from + static_cast<std::size_t>(columns.first[x]) * 4;
        std::uint32_t b = 0, g = 0, r = 0;
        for (int k = 0; k < columns.count[x]; ++k, p += 4) {
            b += std::uint32_t{w[k]} * p[0];
            g += std::uint32_t{w[k]} * p[1];
            r += std::uint32_t{w[k]} * p[2];
        }
        constexpr std::uint32_t half = kOne * kOne / 2;
        to[x * 4] = static_cast<unsigned char>((b + half) >> 16);
        to[x * 4 + 1] = static_cast<unsigned char>((g + half) >> 16);
        to[x * 4 + 2] = static_cast<unsigned char>((r + half) >> 16);
        to[x * 4 + 3] = 255;
    }
}

} // namespace

std::vector<unsigned char> resample(PixelView source, int width, int height) {
    if (width <= 0 || height <= 0) return {};
    const std::size_t outStride = static_cast<std::size_t>(width) * 4;
    std::vector<unsigned char> out(outStride * height);
    if (!source.pixels || source.width <= 0 || source.height <= 0 ||
        source.stride < static_cast<std::size_t>(source.width) * 4)
        return out;

    if (source.width == width && source.height == height) {
        for (int y = 0; y < height; ++y) {
            unsigned char* to = out.data() + y * outStride;
            std::memcpy(to, source.pixels + y * source.stride, outStride);
            for (int x = 0; x < width; ++x)
                to[x * 4 + 3] = 255;
        }
        return out;
    }

    // Rows first, so each source row is read once, in order; then columns.
    const Taps columns = tapsFor(source.width, width);
    const Taps rows = tapsFor(source.height, height);
    std::vector<std::uint16_t> blended(static_cast<std::size_t>(source.width) * 4);
    for (int y = 0; y < height; ++y) {
        blendRows(source, rows, y, blended.data());
        blendColumns(blended.data(), columns, width, out.data() + y * outStride);
    }
    return out;
}

} // namespace host::platform::linux_desktop
