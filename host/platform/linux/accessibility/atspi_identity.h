#pragma once
// Who an accessible is: the bus name of its application and its object path. Two
// accessibles with both equal denote the same user-interface object.

#include <atspi/atspi.h>

#include <optional>
#include <string>

namespace host::platform::linux_atspi {

std::optional<std::string> busNameOf(const AtspiAccessible* accessible);
bool sameObject(const AtspiAccessible* a, const AtspiAccessible* b);

} // namespace host::platform::linux_atspi
