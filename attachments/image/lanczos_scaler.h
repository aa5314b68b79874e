#pragma once
// A separable Lanczos3 downscaler that streams: rows go in one at a time, each output row
// comes out as soon as the input rows under its filter have arrived. It holds only a ring
// of horizontally scaled rows (the filter's height), never the whole picture. Pixels are
// four floats; callers premultiply alpha so edges against transparency stay clean.

#include "attachments/image/image_decoder.h"
#include "attachments/image/image_geometry.h"

#include <cstddef>
#include <functional>
#include <vector>

namespace attachments {

using Pixel4 = float __attribute__((vector_size(16)));

// The taps of a one-dimensional resampling: output i reads `count[i]` source samples from
// `first[i]` with the weights at `weights[offset[i]...]`.
struct FilterTaps {
    std::vector<int> first;
    std::vector<int> count;
    std::vector<std::size_t> offset;
    std::vector<float> weights;
    int widest = 0;
};

// Lanczos3 taps from `source` samples to `target` ≤ `source` samples, pixel centres
// aligned, the filter widened by the reduction factor, and weights renormalised where the
// window runs off the edge. The target spans the first `covered` samples (`source` when
// 0), which may end inside the last one. Zero taps at either end are dropped, so equal
// sizes give one tap of weight 1.
FilterTaps lanczos3Taps(int source, int target, double covered = 0);

class LanczosScaler {
public:
    using Emit = std::function<void(int y, const Pixel4* row)>;

    // The target spans `covered` of the source (all of it when zero), as RowFormat says.
    LanczosScaler(Size source, Size target, Emit emit, Extent covered = {});

    // The next source row, `source.width` pixels.
    void push(const Pixel4* row);

    // True once every target row has been emitted.
    bool done() const { return nextOut_ == target_.height; }

private:
    void scaleRow(const Pixel4* row, Pixel4* dst) const;
    void emitReadyRows();

    Size source_;
    Size target_;
    Emit emit_;
    FilterTaps horizontal_;
    FilterTaps vertical_;
    // The horizontal taps again, every output with `horizontal_.widest` of them: a window
    // that stays inside the row, zero weights around the real ones. Four outputs are then
    // summed side by side, each in its own order, so the sums are the same to the bit.
    std::vector<int> windowStart_;
    std::vector<float> windowWeights_;
    int ringRows_;
    std::vector<Pixel4> ring_; // ringRows_ rows of target_.width pixels
    std::vector<Pixel4> out_;
    int nextIn_ = 0;
    int nextOut_ = 0;
};

} // namespace attachments
