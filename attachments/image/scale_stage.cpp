#include "attachments/image/scale_stage.h"

#include "attachments/image/image_failures.h"

#include <algorithm>

namespace attachments {

void ScaleStage::start(const RowFormat& format) {
    if (started_ || !acceptableSize(format.full) || format.size.width < 1 ||
        format.size.height < 1 || format.size.width > format.full.width ||
        format.size.height > format.full.height)
        failCannotPrepare();
    format_ = format;
    target_ = fitWithin(format.full);
    // Rows delivered at the output size skip the scaler: its one tap of weight 1 would
    // give them back unchanged.
    unscaled_ = format.size == target_;
    if (!unscaled_)
        scaler_.emplace(
            format.size, target_, [this](int y, const Pixel4* row) { next_.row(y, row); },
            format.covered, format.layout);
    next_.start(target_, format);
    started_ = true;
}

void ScaleStage::row(const unsigned char* pixels) {
    if (!started_) failCannotPrepare();
    if (unscaled_) {
        if (passedRows_ < target_.height) next_.row(passedRows_++, pixels);
        return;
    }
    scaler_->push(pixels);
}

void ScaleStage::piece(int rows, int x, int width, const unsigned char* pixels,
                       std::size_t stride) {
    if (!started_) failCannotPrepare();
    if (!unscaled_) {
        scaler_->piece(rows, x, width, pixels, stride);
        return;
    }
    // Rows at the output size are at most 2000 pixels long: put them together whole.
    const auto rowBytes = static_cast<std::size_t>(format_.size.width) * 4;
    if (rows < 1 || x != bandColumn_ || (x > 0 && rows != bandRows_) || width < 1 ||
        width > format_.size.width - x)
        failCannotPrepare();
    bandRows_ = rows;
    band_.resize(rowBytes * static_cast<std::size_t>(rows));
    for (int r = 0; r < rows; ++r)
        std::copy_n(pixels + static_cast<std::size_t>(r) * stride,
                    static_cast<std::size_t>(width) * 4,
                    band_.data() + static_cast<std::size_t>(r) * rowBytes +
                        static_cast<std::size_t>(x) * 4);
    bandColumn_ = x + width;
    if (bandColumn_ < format_.size.width) return;
    bandColumn_ = 0;
    for (int r = 0; r < rows; ++r)
        row(band_.data() + static_cast<std::size_t>(r) * rowBytes);
}

void ScaleStage::finish() const {
    const bool done = unscaled_ ? passedRows_ == target_.height : scaler_ && scaler_->done();
    if (!started_ || !done) failCannotPrepare();
}

} // namespace attachments
