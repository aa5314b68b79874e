#include "attachments/image/horizontal_pass.h"

#include "attachments/image/image_failures.h"
#include "attachments/image/pixel_floats.h"

#include <algorithm>

namespace attachments {
namespace {

// The most floats one copy of the table may hold (8 MiB): rows up to about 350,000
// pixels long are summed from a table.
constexpr std::size_t kTableFloats = std::size_t{2} << 20;
// How many columns of a piece are swept at a time.
constexpr int kSweepColumns = 16384;

} // namespace

HorizontalPass::HorizontalPass(int source, int target, double covered, PixelLayout layout)
    : axis_(source, target, covered), layout_(layout),
      tabled_(static_cast<std::size_t>(target) * static_cast<std::size_t>(axis_.widest()) <=
              kTableFloats) {
    if (!tabled_) return;
    taps_ = lanczos3Taps(source, target, covered);
    const int width = taps_.widest;
    if (width > source) return; // too narrow for a window: tap by tap
    windowStart_.resize(target);
    windowWeights_.assign(static_cast<std::size_t>(target) * width, 0.0f);
    for (int x = 0; x < target; ++x) {
        const int first = taps_.first[x];
        const int start = std::min(first, source - width);
        windowStart_[x] = start;
        std::copy_n(
            taps_.weights.begin() + static_cast<std::ptrdiff_t>(taps_.offset[x]), taps_.count[x],
            windowWeights_.begin() + static_cast<std::ptrdiff_t>(x) * width + (first - start));
    }
}

void HorizontalPass::row(const Pixel4* in, Pixel4* out) {
    if (tabled_) {
        rowFromTable(in, out);
        return;
    }
    std::fill_n(out, axis_.target(), Pixel4{0, 0, 0, 0});
    restart();
    sweep(
        0, axis_.source(), 1, [in](int, int k) { return in[k]; }, out, 0);
}

void HorizontalPass::row(const unsigned char* in, Pixel4* out) {
    if (tabled_) {
        floats_.resize(static_cast<std::size_t>(axis_.source()));
        toPremultipliedFloats(in, layout_, floats_.data(), floats_.size());
        rowFromTable(floats_.data(), out);
        return;
    }
    std::fill_n(out, axis_.target(), Pixel4{0, 0, 0, 0});
    restart();
    const PixelLayout layout = layout_;
    sweep(
        0, axis_.source(), 1,
        [in, layout](int, int k) {
            Pixel4 p;
            toPremultipliedFloats(in + static_cast<std::size_t>(k) * 4, layout, &p, 1);
            return p;
        },
        out, 0);
}

void HorizontalPass::begin(int rows) {
    if (rows < 1) failCannotPrepare();
    bandRows_ = rows;
    band_.assign(static_cast<std::size_t>(rows) * axis_.target(), Pixel4{0, 0, 0, 0});
    restart();
}

void HorizontalPass::add(int x, int width, const unsigned char* pixels, std::size_t stride) {
    // Pieces come left to right, each where the last one ended.
    if (bandRows_ < 1 || x != nextColumn_ || width < 1 || width > axis_.source() - x)
        failCannotPrepare();
    const PixelLayout layout = layout_;
    sweep(
        x, width, bandRows_,
        [pixels, stride, x, layout](int r, int k) {
            Pixel4 p;
            toPremultipliedFloats(pixels + static_cast<std::size_t>(r) * stride +
                                      static_cast<std::size_t>(k - x) * 4,
                                  layout, &p, 1);
            return p;
        },
        band_.data(), static_cast<std::size_t>(axis_.target()));
}

void HorizontalPass::restart() {
    nextColumn_ = 0;
    nextOutput_ = 0;
    open_.clear();
    while (!computed_.empty()) {
        spare_.push_back(std::move(computed_.front()));
        computed_.pop_front();
    }
}

HorizontalPass::Window HorizontalPass::open(int index) {
    if (tabled_)
        return {index, taps_.first[index], taps_.count[index],
                taps_.weights.data() + taps_.offset[index]};
    std::vector<float> weights;
    if (!spare_.empty()) {
        weights = std::move(spare_.back());
        spare_.pop_back();
    }
    const int first = axis_.window(index, weights);
    computed_.push_back(std::move(weights));
    const std::vector<float>& kept = computed_.back();
    return {index, first, static_cast<int>(kept.size()), kept.data()};
}

// Adds the taps that lie in columns [x, x + width) to the sums of every output whose
// window holds them, for each of `rows` rows (`stride` pixels apart in `sums`).
template <typename Read>
void HorizontalPass::sweep(int x, int width, int rows, const Read& read, Pixel4* sums,
                           std::size_t stride) {
    // A long piece is swept a stretch at a time, so that windows close behind the sweep
    // as others open ahead of it.
    for (int from = x; from < x + width; from += kSweepColumns)
        sweepStretch(from, std::min(kSweepColumns, x + width - from), rows, read, sums, stride);
    nextColumn_ = x + width;
}

template <typename Read>
void HorizontalPass::sweepStretch(int x, int width, int rows, const Read& read, Pixel4* sums,
                                  std::size_t stride) {
    const int end = x + width;
    while (nextOutput_ < axis_.target() && (open_.empty() || open_.back().first < end))
        open_.push_back(open(nextOutput_++));
    for (const Window& w : open_) {
        const int lo = std::max(w.first, x);
        const int hi = std::min(w.first + w.count, end);
        for (int r = 0; r < rows; ++r) {
            Pixel4& total = sums[static_cast<std::size_t>(r) * stride + w.index];
            Pixel4 sum = total;
            for (int k = lo; k < hi; ++k)
                sum += read(r, k) * w.weights[k - w.first];
            total = sum;
        }
    }
    while (!open_.empty() && open_.front().first + open_.front().count <= end) {
        open_.pop_front();
        if (!tabled_) {
            spare_.push_back(std::move(computed_.front()));
            computed_.pop_front();
        }
    }
}

// Source pixels are never negative, so a zero weight adds exactly nothing: the windowed
// sums equal the tap-by-tap ones.
void HorizontalPass::rowFromTable(const Pixel4* row, Pixel4* dst) const {
    const int target = axis_.target();
    int x = 0;
    if (!windowStart_.empty()) {
        const int width = taps_.widest;
        const float* weights = windowWeights_.data();
        for (; x + 4 <= target; x += 4) {
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
    const float* weights = taps_.weights.data();
    for (; x < target; ++x) {
        const Pixel4* src = row + taps_.first[x];
        const float* w = weights + taps_.offset[x];
        Pixel4 acc = {0, 0, 0, 0};
        for (int k = 0, n = taps_.count[x]; k < n; ++k)
            acc += src[k] * w[k];
        dst[x] = acc;
    }
}

} // namespace attachments
