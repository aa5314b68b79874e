#include "attachments/image/image_geometry.h"

#include <algorithm>
#include <cmath>

namespace attachments {

bool acceptableSize(Size stored) {
    if (stored.width < 1 || stored.height < 1) return false;
    return static_cast<double>(stored.width) * static_cast<double>(stored.height) <= kMaxPixels;
}

Size fitWithin(Size source, int longest) {
    const int longer = std::max(source.width, source.height);
    if (longer <= longest) return source;
    const double scale = static_cast<double>(longest) / longer;
    auto side = [&](int length) {
        if (length == longer) return longest;
        return std::clamp(static_cast<int>(std::lround(length * scale)), 1, longest);
    };
    return {side(source.width), side(source.height)};
}

bool swapsAxes(int orientation) {
    return orientation >= 5 && orientation <= 8;
}

Size orientedSize(Size stored, int orientation) {
    return swapsAxes(orientation) ? Size{stored.height, stored.width} : stored;
}

} // namespace attachments
