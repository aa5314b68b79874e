#pragma once
// A world ready for input methods: a fresh frame of the target window, a focused text field
// in it and a button under the window's top-left area.

#include "world.h"

#include <functional>

namespace host::testing {

struct Acting : World {
    Acting();
    NodePtr application;
    NodePtr field;  // focused, an "AXTextField" of the focused window
    NodePtr button; // under the window's first 200 × 100 points
    std::string frameId;

    // Observes afresh, applies `setup`, then runs `method` with `extra` merged into
    // {app, target, frameId}; returns the code. `remembered` tells whether the frame is
    // still registered afterwards.
    std::string act(const std::string& method, const common::Json& extra,
                    const std::function<void(Acting&)>& setup = {});
    bool remembered = false;
};

} // namespace host::testing
