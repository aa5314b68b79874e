#pragma once
// One video frame from a PipeWire node: connect, agree on a memory-mapped 32-bit BGR format,
// take the first frame that carries pixels, and go.

#include "host/platform/geometry.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

namespace host::platform::gnome {

struct PixelRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// Pixels as B, G, R, X bytes, rows width × 4 bytes apart.
struct FramePixels {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> bgrx;
};

// The part `wanted` of the node's first frame (in the frame's own pixels, clipped to what
// the frame holds); nothing when no frame comes within `timeout`, the frame holds none of
// `wanted`, or PipeWire cannot be reached.
std::optional<FramePixels> takeOneFrame(std::uint32_t node, PixelRect wanted,
                                        std::chrono::milliseconds timeout);

// The part of `wanted` inside `bounds`; empty (zero size) when they do not meet.
PixelRect intersect(PixelRect wanted, PixelRect bounds);

} // namespace host::platform::gnome
