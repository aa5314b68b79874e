#pragma once
// One element handed to the host: an owned reference to an AT-SPI accessible (released with
// the element), plus what the host set on it.

#include "host/platform/accessibility_port.h"
#include "host/platform/linux/accessibility/atspi_handles.h"

#include <cstdint>
#include <optional>

namespace host::platform::linux_atspi {

class AtspiElement final : public Element {
public:
    enum class Kind {
        SystemWide,  // the whole desktop; no accessible of its own
        Application, // an application found by process id; its root accessible, once found
        Object       // any other user-interface object
    };

    static ElementRef systemWide();
    static ElementRef application(std::int32_t pid, GObjectRef<AtspiAccessible> root);
    static ElementRef object(GObjectRef<AtspiAccessible> accessible);

    Kind kind() const { return kind_; }
    AtspiAccessible* accessible() const { return accessible_.get(); }
    // An application element whose application was not registered yet finds it later.
    void attach(GObjectRef<AtspiAccessible> root) { accessible_ = std::move(root); }
    std::int32_t applicationPid() const { return pid_; }

    std::optional<float> timeout; // seconds; nothing: the adapter's default

private:
    AtspiElement(Kind kind, std::int32_t pid, GObjectRef<AtspiAccessible> accessible)
        : kind_(kind), pid_(pid), accessible_(std::move(accessible)) {}

    Kind kind_;
    std::int32_t pid_ = 0;
    GObjectRef<AtspiAccessible> accessible_;
};

// The element behind a port reference; nothing for an element some other adapter made.
AtspiElement* asAtspi(Element& element);
const AtspiElement* asAtspi(const Element& element);

} // namespace host::platform::linux_atspi
