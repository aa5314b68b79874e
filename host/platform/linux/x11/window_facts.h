#pragma once
// What the window list shows of one top-level window, worked out from the raw facts the
// server gave about it: its properties (which any client can write, so any bytes at all),
// whether it is override-redirect, its client's WM_STATE, and whether a compositing
// manager runs. No round trips here: window_tree.cpp asks, this decides.

#include "host/platform/linux/window_layers.h"
#include "host/platform/linux/x11/properties.h"

#include <cstdint>
#include <optional>
#include <string>

namespace host::platform::x11 {

struct WindowFacts {
    // Read from the client (the frame itself when no client was found), except
    // frameOpacity, which is the frame's.
    PropertyValue netWmName, wmName, windowType, opacity, frameOpacity, netWmState;
    bool overrideRedirect = false;
    // The first value of the client's WM_STATE; nothing when no window with WM_STATE was
    // found at or below the frame.
    std::optional<std::uint32_t> clientState;
    bool composited = false; // a compositing manager owns its selection
};

struct WindowTraits {
    std::optional<std::int64_t> layer; // nothing for a managed frame without a client
    bool desktop = false;              // a desktop element (_NET_WM_WINDOW_TYPE_DESKTOP)
    std::optional<std::string> name;   // valid UTF-8
    double alpha = 1.0;                // in [0, 1]
};

// Nothing when the window is minimised (iconic, or _NET_WM_STATE_HIDDEN): not on screen.
std::optional<WindowTraits> traitsOf(const WindowFacts& facts, const Atoms& atoms);

} // namespace host::platform::x11
