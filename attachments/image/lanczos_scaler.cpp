#include "attachments/image/lanczos_scaler.h"

#include "attachments/image/image_failures.h"

namespace attachments {

LanczosScaler::LanczosScaler(Size source, Size target, Emit emit, Extent covered,
                             PixelLayout layout)
    : horizontal_(source.width, target.width, covered.width, layout),
      vertical_(source.height, target.height, covered.height, target.width, std::move(emit)),
      scaled_(static_cast<std::size_t>(target.width)) {}

void LanczosScaler::push(const Pixel4* row) {
    if (inBand_) failCannotPrepare();
    horizontal_.row(row, scaled_.data());
    vertical_.add(scaled_.data());
}

void LanczosScaler::push(const unsigned char* row) {
    if (inBand_) failCannotPrepare();
    horizontal_.row(row, scaled_.data());
    vertical_.add(scaled_.data());
}

void LanczosScaler::piece(int rows, int x, int width, const unsigned char* pixels,
                          std::size_t stride) {
    if (!inBand_) {
        horizontal_.begin(rows);
        inBand_ = true;
        bandRows_ = rows;
    }
    if (rows != bandRows_) failCannotPrepare();
    horizontal_.add(x, width, pixels, stride);
    if (!horizontal_.bandComplete()) return;
    inBand_ = false;
    for (int r = 0; r < bandRows_; ++r)
        vertical_.add(horizontal_.band(r));
}

} // namespace attachments
