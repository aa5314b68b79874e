#pragma once
// Lanczos3 windows along one axis: for each output sample, the source samples under its
// filter and their weights. Pixel centres are aligned, the filter is widened by the
// reduction factor, and weights are renormalised where the window runs off the edge.

#include <cstddef>
#include <vector>

namespace attachments {

using Pixel4 = float __attribute__((vector_size(16)));

class Lanczos3Axis {
public:
    // `source` samples to `target` ≤ `source` samples; the target spans the first
    // `covered` samples (`source` when 0), which may end inside the last one.
    Lanczos3Axis(int source, int target, double covered = 0);

    int source() const { return source_; }
    int target() const { return target_; }

    // No window holds more samples than this.
    int widest() const { return widest_; }

    // Output `i`'s window: returns its first sample and leaves its weights, summing to 1,
    // in `weights`. Zero weights at either end are dropped, so equal sizes give one tap
    // of weight 1; a window is never empty.
    int window(int i, std::vector<float>& weights) const;

private:
    int source_;
    int target_;
    double factor_;  // source samples a target sample
    double stretch_; // how much the filter is widened
    double support_; // half the filter's width, in source samples
    int widest_;
    mutable std::vector<double> scratch_;
};

// The taps of a one-dimensional resampling: output i reads `count[i]` source samples from
// `first[i]` with the weights at `weights[offset[i]...]`.
struct FilterTaps {
    std::vector<int> first;
    std::vector<int> count;
    std::vector<std::size_t> offset;
    std::vector<float> weights;
    int widest = 0;
};

// Every window of a Lanczos3Axis in one table: about six floats a source sample.
FilterTaps lanczos3Taps(int source, int target, double covered = 0);

} // namespace attachments
