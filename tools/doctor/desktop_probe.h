#pragma once
// What skelmor-doctor finds out about the desktop: the same facts the host reads, and the
// pieces behind them, so that it can say why the host would refuse.

#include "common/json.h"

namespace doctor {

// Each section is an object of plain facts; "verdict" lists the refusals the host would
// answer with ("mac_locked", ...), each with its reason, and is empty when it could work.
common::Json probeDesktop();

// The same as plain sentences, one fact a line.
std::string describe(const common::Json& facts);

} // namespace doctor
