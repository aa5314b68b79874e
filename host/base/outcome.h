#pragma once
// What a method hands back to the channel: a result object, a `HostError`, or a failure
// of a platform service, which is answered as "engine_failed".

#include "common/json.h"
#include "host/base/host_error.h"

#include <functional>
#include <variant>

namespace host {

struct EngineFailure {};

using Outcome = std::variant<common::Json, HostError, EngineFailure>;

// Called exactly once per request, on the main thread.
using Reply = std::function<void(Outcome)>;

} // namespace host
