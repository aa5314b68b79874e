#include "host/platform/linux/accessibility/atspi_element.h"

namespace host::platform::linux_atspi {

ElementRef AtspiElement::systemWide() {
    return ElementRef(new AtspiElement(Kind::SystemWide, 0, nullptr));
}

ElementRef AtspiElement::application(std::int32_t pid, GObjectRef<AtspiAccessible> root) {
    return ElementRef(new AtspiElement(Kind::Application, pid, std::move(root)));
}

ElementRef AtspiElement::object(GObjectRef<AtspiAccessible> accessible) {
    return ElementRef(new AtspiElement(Kind::Object, 0, std::move(accessible)));
}

AtspiElement* asAtspi(Element& element) {
    return dynamic_cast<AtspiElement*>(&element);
}
const AtspiElement* asAtspi(const Element& element) {
    return dynamic_cast<const AtspiElement*>(&element);
}

} // namespace host::platform::linux_atspi
