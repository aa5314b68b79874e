#pragma once
// The two messages of the image path. Opening and header checks raise the first; anything
// that goes wrong once the header has passed (decoding, scaling, colour) raises the second.

#include "attachments/failure.h"

namespace attachments {

[[noreturn]] inline void failUnsupported() {
    fail(kUnsupportedImage);
}
[[noreturn]] inline void failCannotPrepare() {
    fail(kCannotPrepareImage);
}

} // namespace attachments
