#pragma once
// Capturing one window as a JPEG and remembering the capture as a frame. The only method
// that waits: it resumes on the main queue when the capture service answers, so later
// requests may be answered first.

#include "common/json.h"
#include "host/base/outcome.h"
#include "host/platform/platform.h"

namespace host {

class Host;

inline constexpr std::size_t kLargestJpeg = 2'499'999; // bytes

// Answers {bounds, frameId, height, image, mimeType, width} through `reply`, exactly once,
// on the main thread; or a HostError, or EngineFailure when the capture service fails.
// A capture that completes after the host is gone is dropped unanswered.
void observe(Host& host, platform::Platform& platform, const common::Json& params, Reply reply);

} // namespace host
