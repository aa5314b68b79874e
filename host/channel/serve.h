#pragma once
// The whole life of the host over one input and one output: the host, the reading thread
// and the main loop on the calling thread, until end of input.

#include "host/base/main_queue.h"
#include "host/platform/platform.h"

#include <functional>

namespace host {

// Serves requests read from `in` and answers them on `out`, on the calling thread, until
// end of input; requests queued behind the end are never run. `overflow` is called (and
// must not return in the program) when too much input is pending. `loop` must outlive the
// platform, whose services may still complete work (and post it, to be dropped) after this
// returns.
void serve(MainLoop& loop, platform::Platform& platform, int in, int out,
           std::function<void()> overflow);

} // namespace host
