#include "attachments/image/vertical_pass.h"

#include <algorithm>

namespace attachments {

VerticalPass::VerticalPass(int source, int target, double covered, int width, Emit emit)
    : axis_(source, target, covered), width_(width), emit_(std::move(emit)) {}

void VerticalPass::add(const Pixel4* row) {
    if (nextIn_ >= axis_.source()) return;
    const int y = nextIn_++;
    // Every output whose window starts by this row is open.
    while (nextOpen_ < axis_.target() && (open_.empty() || open_.back().first <= y)) {
        Output output;
        if (!spare_.empty()) {
            output = std::move(spare_.back());
            spare_.pop_back();
        }
        output.index = nextOpen_++;
        output.first = axis_.window(output.index, output.weights);
        output.sum.assign(static_cast<std::size_t>(width_), Pixel4{0, 0, 0, 0});
        open_.push_back(std::move(output));
    }
    for (Output& output : open_) {
        const int k = y - output.first;
        if (k < 0 || k >= static_cast<int>(output.weights.size())) continue;
        const float weight = output.weights[static_cast<std::size_t>(k)];
        Pixel4* sum = output.sum.data();
        for (int x = 0; x < width_; ++x)
            sum[x] += row[x] * weight;
    }
    while (!open_.empty() &&
           open_.front().first + static_cast<int>(open_.front().weights.size()) <= y + 1) {
        emit_(open_.front().index, open_.front().sum.data());
        ++emitted_;
        spare_.push_back(std::move(open_.front()));
        open_.pop_front();
    }
}

} // namespace attachments
