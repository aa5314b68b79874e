#include "attachments/image/orient_stage.h"

#include <cstddef>

namespace attachments {
namespace {

// Where a stored pixel lands in the upright picture: the first pixel of stored row `y`,
// and the step (in pixels) from one stored column to the next.
struct Placement {
    std::ptrdiff_t start;
    std::ptrdiff_t step;
};

Placement place(int orientation, Size stored, int y) {
    const std::ptrdiff_t w = stored.width;
    const std::ptrdiff_t h = stored.height;
    const std::ptrdiff_t upWidth = swapsAxes(orientation) ? h : w;
    auto at = [&](std::ptrdiff_t x, std::ptrdiff_t row) { return row * upWidth + x; };
    switch (orientation) {
    case 2:
        return {at(w - 1, y), -1};
    case 3:
        return {at(w - 1, h - 1 - y), -1};
    case 4:
        return {at(0, h - 1 - y), 1};
    case 5:
        return {at(y, 0), upWidth};
    case 6:
        return {at(h - 1 - y, 0), upWidth};
    case 7:
        return {at(h - 1 - y, w - 1), -upWidth};
    case 8:
        return {at(y, w - 1), -upWidth};
    default:
        return {at(0, y), 1};
    }
}

} // namespace

void OrientStage::start(Size size) {
    stored_ = size;
    picture_.size = orientedSize(size, orientation_);
    streaming_ = upright_ && (orientation_ < 3 || orientation_ > 8);
    if (streaming_) {
        rowBuffer_.resize(static_cast<std::size_t>(size.width) * 3);
        upright_->start(picture_.size);
    }
}

void OrientStage::row(int y, const unsigned char* rgb) {
    Placement at = place(orientation_, stored_, y);
    unsigned char* out = nullptr;
    if (streaming_) {
        at.start -= static_cast<std::ptrdiff_t>(y) * picture_.size.width;
        out = rowBuffer_.data();
    } else {
        // Made with the first row, so that its pages are first touched on the thread
        // that fills them.
        if (picture_.pixels.empty())
            picture_.pixels.resize(static_cast<std::size_t>(picture_.size.width) *
                                   picture_.size.height * 3);
        out = picture_.pixels.data();
    }
    for (int x = 0; x < stored_.width; ++x, rgb += 3) {
        unsigned char* o = out + (at.start + at.step * x) * 3;
        o[0] = rgb[0];
        o[1] = rgb[1];
        o[2] = rgb[2];
    }
    if (streaming_) upright_->row(rowBuffer_.data());
}

} // namespace attachments
