#pragma once
// Horizontally scaled rows resampled down the picture. Each row that comes in is added,
// with its weight, to the few output rows whose windows hold it, and an output row goes
// out as soon as its window is complete. Windows are worked out as they are reached, so
// the memory follows the output's width and the filter's reach, never the picture's
// height.

#include "attachments/image/lanczos_window.h"

#include <deque>
#include <functional>
#include <vector>

namespace attachments {

class VerticalPass {
public:
    using Emit = std::function<void(int y, const Pixel4* row)>;

    // `source` rows of `width` pixels to `target` rows, the target spanning `covered`
    // of them as Lanczos3Axis says.
    VerticalPass(int source, int target, double covered, int width, Emit emit);

    // The next row; rows past the last are ignored.
    void add(const Pixel4* row);

    // True once every target row has been emitted.
    bool done() const { return emitted_ == axis_.target(); }

private:
    struct Output {
        int index = 0;
        int first = 0;
        std::vector<float> weights;
        std::vector<Pixel4> sum;
    };

    Lanczos3Axis axis_;
    int width_;
    Emit emit_;
    std::deque<Output> open_; // in target order
    std::vector<Output> spare_;
    int nextIn_ = 0;
    int nextOpen_ = 0;
    int emitted_ = 0;
};

} // namespace attachments
