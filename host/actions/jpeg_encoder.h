#pragma once
// JPEG encoding of captured window pixels (libjpeg-turbo, B G R X input read as is).

#include "host/platform/capture_port.h"

#include <optional>
#include <vector>

namespace host {

inline constexpr int kCaptureJpegQuality = 72;

// Nothing when the image does not describe its own pixels (sizes, stride, buffer length)
// or the encoder fails.
std::optional<std::vector<unsigned char>> encodeJpeg(const platform::CapturedImage& image,
                                                     int quality);

} // namespace host
