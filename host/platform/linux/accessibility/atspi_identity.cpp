#include "host/platform/linux/accessibility/atspi_identity.h"

#include <cstring>

namespace host::platform::linux_atspi {

std::optional<std::string> busNameOf(const AtspiAccessible* accessible) {
    if (!accessible || !accessible->parent.app || !accessible->parent.app->bus_name)
        return std::nullopt;
    return std::string(accessible->parent.app->bus_name);
}

bool sameObject(const AtspiAccessible* a, const AtspiAccessible* b) {
    if (!a || !b) return false;
    if (a == b) return true;
    const auto busA = busNameOf(a);
    const auto busB = busNameOf(b);
    return busA && busB && *busA == *busB && a->parent.path && b->parent.path &&
           std::strcmp(a->parent.path, b->parent.path) == 0;
}

} // namespace host::platform::linux_atspi
