#include "host/actions/capture_size.h"

#include <algorithm>
#include <cmath>

namespace host {
namespace {

// Truncated toward zero, at least 1; anything that is not a finite positive size is 1.
int pixels(double points) {
    if (!(points >= 1)) return 1;
    return static_cast<int>(std::min(std::trunc(points), kLongestCaptureSide));
}

} // namespace

PixelSize captureSize(double width, double height) {
    const double longer = width <= height ? height : width;
    const double scale = std::min(kLongestCaptureSide / longer, 1.0);
    return {pixels(width * scale), pixels(height * scale)};
}

} // namespace host
