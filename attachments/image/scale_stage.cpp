#include "attachments/image/scale_stage.h"

#include "attachments/image/image_failures.h"
#include "attachments/image/pixel_floats.h"

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
    if (!unscaled_) {
        source_.resize(static_cast<std::size_t>(format.size.width));
        scaler_.emplace(
            format.size, target_, [this](int y, const Pixel4* row) { next_.row(y, row); },
            format.covered);
    }
    next_.start(target_, format);
    started_ = true;
}

void ScaleStage::row(const unsigned char* pixels) {
    if (!started_) failCannotPrepare();
    if (unscaled_) {
        if (passedRows_ < target_.height) next_.row(passedRows_++, pixels);
        return;
    }
    toPremultipliedFloats(pixels, format_.layout, source_.data(), source_.size());
    scaler_->push(source_.data());
}

void ScaleStage::finish() const {
    const bool done = unscaled_ ? passedRows_ == target_.height : scaler_ && scaler_->done();
    if (!started_ || !done) failCannotPrepare();
}

} // namespace attachments
