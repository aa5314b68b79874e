#include "attachments/image/lanczos_scaler.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace attachments {
namespace {

double sinc(double x) {
    if (x == 0.0) return 1.0;
    const double a = std::numbers::pi * x;
    return std::sin(a) / a;
}

double lanczos3(double x) {
    x = std::fabs(x);
    return x < 3.0 ? sinc(x) * sinc(x / 3.0) : 0.0;
}

} // namespace

FilterTaps lanczos3Taps(int source, int target, double covered) {
    FilterTaps taps;
    taps.first.resize(target);
    taps.count.resize(target);
    taps.offset.resize(target);
    const double span = covered > 0 ? covered : static_cast<double>(source);
    const double factor = span / target;
    const double stretch = std::max(factor, 1.0);
    const double support = 3.0 * stretch;
    std::vector<double> window;
    for (int i = 0; i < target; ++i) {
        const double centre = (i + 0.5) * factor;
        const int start = std::max(static_cast<int>(centre - support + 0.5), 0);
        const int stop = std::min(static_cast<int>(centre + support + 0.5), source);
        window.clear();
        double sum = 0.0;
        for (int j = start; j < stop; ++j) {
            const double w = lanczos3((j + 0.5 - centre) / stretch);
            window.push_back(w);
            sum += w;
        }
        int lo = 0;
        int hi = static_cast<int>(window.size());
        while (lo < hi && std::fabs(window[lo]) < 1e-9)
            ++lo;
        while (hi > lo && std::fabs(window[hi - 1]) < 1e-9)
            --hi;
        if (lo == hi || sum == 0.0) { // cannot happen for sane sizes; keep one tap
            lo = 0;
            hi = 1;
            window.assign(1, 1.0);
            sum = 1.0;
        }
        taps.first[i] = start + lo;
        taps.count[i] = hi - lo;
        taps.offset[i] = taps.weights.size();
        for (int k = lo; k < hi; ++k)
            taps.weights.push_back(static_cast<float>(window[k] / sum));
        taps.widest = std::max(taps.widest, hi - lo);
    }
    return taps;
}

LanczosScaler::LanczosScaler(Size source, Size target, Emit emit, Extent covered)
    : source_(source), target_(target), emit_(std::move(emit)),
      horizontal_(lanczos3Taps(source.width, target.width, covered.width)),
      vertical_(lanczos3Taps(source.height, target.height, covered.height)),
      ringRows_(vertical_.widest), ring_(static_cast<std::size_t>(ringRows_) * target.width),
      out_(target.width) {
    const int width = horizontal_.widest;
    if (width > source.width) return; // too narrow for a window: tap by tap
    windowStart_.resize(target.width);
    windowWeights_.assign(static_cast<std::size_t>(target.width) * width, 0.0f);
    for (int x = 0; x < target.width; ++x) {
        const int first = horizontal_.first[x];
        const int start = std::min(first, source.width - width);
        windowStart_[x] = start;
        std::copy_n(
            horizontal_.weights.begin() + static_cast<std::ptrdiff_t>(horizontal_.offset[x]),
            horizontal_.count[x],
            windowWeights_.begin() + static_cast<std::ptrdiff_t>(x) * width + (first - start));
    }
}

void LanczosScaler::push(const Pixel4* row) {
    if (nextIn_ >= source_.height) return;
    scaleRow(row, ring_.data() + static_cast<std::size_t>(nextIn_ % ringRows_) * target_.width);
    ++nextIn_;
    emitReadyRows();
}

// Source pixels are never negative, so a zero weight adds exactly nothing: the windowed
// sums equal the tap-by-tap ones.
void LanczosScaler::scaleRow(const Pixel4* row, Pixel4* dst) const {
    int x = 0;
    if (!windowStart_.empty()) {
        const int width = horizontal_.widest;
        const float* weights = windowWeights_.data();
        for (; x + 4 <= target_.width; x += 4) {
            const Pixel4* s0 = row + windowStart_[x];
            const Pixel4* s1 = row + windowStart_[x + 1];
            const Pixel4* s2 = row + windowStart_[x + 2];
            const Pixel4* s3 = row + windowStart_[x + 3];
            const float* w0 = weights + static_cast<std::size_t>(x) * width;
            const float* w1 = w0 + width;
            const float* w2 = w1 + width;
            const float* w3 = w2 + width;
            Pixel4 a0 = {0, 0, 0, 0}, a1 = a0, a2 = a0, a3 = a0;
            for (int k = 0; k < width; ++k) {
                a0 += s0[k] * w0[k];
                a1 += s1[k] * w1[k];
                a2 += s2[k] * w2[k];
                a3 += s3[k] * w3[k];
            }
            dst[x] = a0;
            dst[x + 1] = a1;
            dst[x + 2] = a2;
            dst[x + 3] = a3;
        }
    }
    const float* weights = horizontal_.weights.data();
    for (; x < target_.width; ++x) {
        const Pixel4* src = row + horizontal_.first[x];
        const float* w = weights + horizontal_.offset[x];
        Pixel4 acc = {0, 0, 0, 0};
        for (int k = 0, n = horizontal_.count[x]; k < n; ++k)
            acc += src[k] * w[k];
        dst[x] = acc;
    }
}

void LanczosScaler::emitReadyRows() {
    while (nextOut_ < target_.height &&
           vertical_.first[nextOut_] + vertical_.count[nextOut_] <= nextIn_) {
        const int first = vertical_.first[nextOut_];
        const int count = vertical_.count[nextOut_];
        const float* w = vertical_.weights.data() + vertical_.offset[nextOut_];
        const auto rowAt = [&](int k) {
            return ring_.data() + static_cast<std::size_t>((first + k) % ringRows_) * target_.width;
        };
        if (count == 1) {
            emit_(nextOut_, rowAt(0));
        } else {
            std::fill(out_.begin(), out_.end(), Pixel4{0, 0, 0, 0});
            for (int k = 0; k < count; ++k) {
                const Pixel4* src = rowAt(k);
                const float weight = w[k];
                for (int x = 0; x < target_.width; ++x)
                    out_[x] += src[x] * weight;
            }
            emit_(nextOut_, out_.data());
        }
        ++nextOut_;
    }
}

} // namespace attachments
