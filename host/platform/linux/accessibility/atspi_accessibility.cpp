#include "host/platform/linux/accessibility/atspi_accessibility.h"

#include "host/platform/linux/accessibility/atspi_actions.h"
#include "host/platform/linux/accessibility/atspi_element.h"
#include "host/platform/linux/accessibility/atspi_identity.h"
#include "host/platform/linux/accessibility/atspi_runtime.h"
#include "host/platform/linux/accessibility/atspi_tree.h"
#include "host/platform/linux/accessibility/focus_tracker.h"
#include "host/platform/linux/accessibility/role_vocabulary.h"
#include "host/platform/linux/accessibility/window_hit_test.h"

#include <cmath>
#include <cstdlib>

namespace host::platform::linux_atspi {
namespace {

AttributeResult failedWith(AxStatus code) {
    return AttributeResult{code, std::nullopt};
}

AttributeResult missing(const CallBudget& budget) {
    return failedWith(budget.failed() ? AxStatus::Failure : AxStatus::NoValue);
}

AttributeResult value(AttributeValue v) {
    return AttributeResult{AxStatus::Success, std::move(v)};
}

AttributeResult elementValue(AccessibleRef accessible, const CallBudget& budget) {
    if (!accessible) return missing(budget);
    return value(AtspiElement::object(std::move(accessible)));
}

// AT-SPI takes whole pixels; a point belongs to the pixel it lies in.
int pixel(double coordinate) {
    return static_cast<int>(std::floor(coordinate));
}

Rect rectOf(const ScreenRect& r) {
    return Rect{static_cast<double>(r.x), static_cast<double>(r.y), static_cast<double>(r.width),
                static_cast<double>(r.height)};
}

bool contains(const Rect& r, double x, double y) {
    return x >= r.x && y >= r.y && x - r.x < r.width && y - r.y < r.height;
}

} // namespace

AtspiAccessibility::AtspiAccessibility(WindowServerPort& windows,
                                       linux_desktop::SurfacePlacement* placement)
    : windows_(windows), placement_(placement), connected_(accessibilityBusConnected()) {
    // Listening starts at once, so focus changes made before the first request are known.
    // Registering asks the registry, within the usual bound.
    const CallBudget budget(defaultTimeout_);
    if (connected_ && budget.arm()) focus_ = std::make_unique<FocusTracker>();
}

AtspiAccessibility::~AtspiAccessibility() = default;

float AtspiAccessibility::timeoutOf(const AtspiElement& element) const {
    return element.timeout.value_or(defaultTimeout_);
}

CallBudget::Requests AtspiAccessibility::requestsOf(const AtspiElement& element) {
    return element.kind() == AtspiElement::Kind::Application ? CallBudget::Requests::WaitWhole
                                                             : CallBudget::Requests::Share;
}

ElementRef AtspiAccessibility::createApplication(std::int32_t pid) {
    if (!connected_ || pid <= 0) return AtspiElement::application(pid, nullptr);
    const CallBudget budget(defaultTimeout_);
    return AtspiElement::application(pid, applicationOf(pid, budget));
}

ElementRef AtspiAccessibility::createSystemWide() {
    return AtspiElement::systemWide();
}

void AtspiAccessibility::setMessagingTimeout(Element& element, float seconds) {
    auto* target = asAtspi(element);
    if (!target) return;
    const bool usable = std::isfinite(seconds) && seconds > 0;
    // As the system-wide element stands for every element, its timeout is the default.
    if (target->kind() == AtspiElement::Kind::SystemWide) {
        defaultTimeout_ = usable ? seconds : kDefaultTimeoutSeconds;
        return;
    }
    target->timeout = usable ? std::optional<float>(seconds) : std::nullopt;
}

AtspiAccessible* AtspiAccessibility::rootOf(AtspiElement& application, const CallBudget& budget) {
    if (!application.accessible() && application.applicationPid() > 0)
        application.attach(applicationOf(application.applicationPid(), budget));
    return application.accessible();
}

AttributeResult AtspiAccessibility::copyAttribute(Element& element, const std::string& attribute) {
    auto* target = asAtspi(element);
    if (!target) return failedWith(AxStatus::InvalidElement);
    if (!connected_) return failedWith(AxStatus::NoService);
    const CallBudget budget(timeoutOf(*target), requestsOf(*target));
    switch (target->kind()) {
    case AtspiElement::Kind::SystemWide:
        return systemWideAttribute(attribute, budget);
    case AtspiElement::Kind::Application:
        return applicationAttribute(*target, attribute, budget);
    case AtspiElement::Kind::Object:
        return objectAttribute(target->accessible(), attribute, budget);
    }
    return failedWith(AxStatus::Unsupported);
}

AttributeResult AtspiAccessibility::focusedElementOf(AtspiAccessible* application,
                                                     const CallBudget& budget) {
    if (const auto bus = busNameOf(application); bus && focus_) {
        if (auto tracked = focus_->focusedIn(*bus);
            tracked && hasState(tracked.get(), ATSPI_STATE_FOCUSED, budget))
            return elementValue(std::move(tracked), budget);
    }
    // No focus event seen for this application (it took focus before the host started).
    const auto window = activeWindowOf(application, budget);
    return elementValue(focusedDescendantOf(window ? window.get() : application, budget), budget);
}

AttributeResult AtspiAccessibility::systemWideAttribute(const std::string& attribute,
                                                        const CallBudget& budget) {
    if (attribute == "AXRole") return value(std::string("AXSystemWide"));
    if (attribute == "AXFocusedUIElement") {
        auto latest = focus_ ? focus_->latest() : nullptr;
        if (latest && hasState(latest.get(), ATSPI_STATE_FOCUSED, budget))
            return elementValue(std::move(latest), budget);
        return missing(budget);
    }
    return failedWith(AxStatus::Unsupported);
}

AttributeResult AtspiAccessibility::applicationAttribute(AtspiElement& element,
                                                         const std::string& attribute,
                                                         const CallBudget& budget) {
    if (attribute == "AXRole") return value(std::string("AXApplication"));
    const bool known = attribute == "AXFocusedWindow" || attribute == "AXFocusedUIElement" ||
                       attribute == "AXTitle";
    if (!known) return failedWith(AxStatus::Unsupported);
    AtspiAccessible* root = rootOf(element, budget);
    if (!root) return failedWith(AxStatus::InvalidElement);
    if (attribute == "AXFocusedWindow") return elementValue(activeWindowOf(root, budget), budget);
    if (attribute == "AXFocusedUIElement") return focusedElementOf(root, budget);
    const auto name = nameOf(root, budget);
    return name ? value(*name) : missing(budget);
}

AttributeResult AtspiAccessibility::objectAttribute(AtspiAccessible* accessible,
                                                    const std::string& attribute,
                                                    const CallBudget& budget) {
    if (!accessible) return failedWith(AxStatus::InvalidElement);
    if (attribute == "AXRole" || attribute == "AXSubrole") {
        const auto role = roleOf(accessible, budget);
        if (!role) return missing(budget);
        const bool multiLine = (*role == ATSPI_ROLE_TEXT || *role == ATSPI_ROLE_ENTRY) &&
                               hasState(accessible, ATSPI_STATE_MULTI_LINE, budget);
        const RoleNames names = describeRole(*role, multiLine);
        if (attribute == "AXRole") return value(std::string(names.role));
        return names.subrole ? value(std::string(*names.subrole)) : missing(budget);
    }
    if (attribute == "AXPosition" || attribute == "AXSize") {
        const auto extents = screenExtentsOf(accessible, budget);
        if (!extents) return missing(budget);
        if (attribute == "AXPosition") return value(Point{extents->x, extents->y});
        return value(Size{extents->width, extents->height});
    }
    if (attribute == "AXWindow") return elementValue(windowOf(accessible, budget), budget);
    if (attribute == "AXParent") return elementValue(parentOf(accessible, budget), budget);
    if (attribute == "AXTitle") {
        const auto name = nameOf(accessible, budget);
        return name ? value(*name) : missing(budget);
    }
    if (attribute == "AXValue") {
        const auto text = textOf(accessible, budget);
        return text ? value(*text) : missing(budget);
    }
    return failedWith(AxStatus::Unsupported);
}

ElementAtResult AtspiAccessibility::elementAtPosition(Element& element, float x, float y) {
    auto* target = asAtspi(element);
    if (!target) return ElementAtResult{AxStatus::InvalidElement, nullptr};
    if (!connected_) return ElementAtResult{AxStatus::NoService, nullptr};
    if (!std::isfinite(x) || !std::isfinite(y)) return ElementAtResult{AxStatus::NoValue, nullptr};
    const CallBudget budget(timeoutOf(*target));
    switch (target->kind()) {
    case AtspiElement::Kind::SystemWide:
        return hitTest(x, y, std::nullopt, budget);
    case AtspiElement::Kind::Application:
        return hitTest(x, y, target->applicationPid(), budget);
    case AtspiElement::Kind::Object: {
        AtspiAccessible* accessible = target->accessible();
        if (!accessible) return ElementAtResult{AxStatus::InvalidElement, nullptr};
        Point origin;
        if (placement_) {
            const auto window = windowOf(accessible, budget);
            const auto placed = window ? placementOf(window.get(), budget) : std::nullopt;
            if (!placed)
                return ElementAtResult{budget.failed() ? AxStatus::Failure : AxStatus::NoValue,
                                       nullptr};
            origin = placed->origin;
        }
        return ElementAtResult{AxStatus::Success,
                               AtspiElement::object(deepestAt(accessible, pixel(x - origin.x),
                                                              pixel(y - origin.y), budget))};
    }
    }
    return ElementAtResult{AxStatus::Unsupported, nullptr};
}

ElementAtResult AtspiAccessibility::hitTest(float x, float y, std::optional<std::int32_t> onlyPid,
                                            const CallBudget& budget) {
    const auto front = frontWindowAt(windows_, x, y);
    if (!front || (onlyPid && front->pid != *onlyPid))
        return ElementAtResult{AxStatus::NoValue, nullptr};
    const auto application = applicationOf(front->pid, budget);
    if (!application)
        return ElementAtResult{budget.failed() ? AxStatus::Failure : AxStatus::NoValue, nullptr};
    const auto placed = topLevelAt(application.get(), front->bounds, x, y, budget);
    if (!placed)
        return ElementAtResult{budget.failed() ? AxStatus::Failure : AxStatus::NoValue, nullptr};
    auto deepest = deepestAt(placed->window.get(), pixel(x - placed->origin.x),
                             pixel(y - placed->origin.y), budget);
    if (budget.failed()) return ElementAtResult{AxStatus::Failure, nullptr};
    return ElementAtResult{AxStatus::Success, AtspiElement::object(std::move(deepest))};
}

std::optional<linux_desktop::Placement> AtspiAccessibility::placementOf(AtspiAccessible* topLevel,
                                                                        const CallBudget& budget) {
    const auto extents = extentsOf(topLevel, budget);
    if (!extents) return std::nullopt;
    if (!placement_) return linux_desktop::Placement{Point{}, rectOf(*extents)};
    const auto pid = processOf(topLevel, budget);
    if (!pid) return std::nullopt;
    return placement_->place(*pid, rectOf(*extents), nameOf(topLevel, budget).value_or(""));
}

std::optional<Rect> AtspiAccessibility::screenExtentsOf(AtspiAccessible* accessible,
                                                        const CallBudget& budget) {
    const auto extents = extentsOf(accessible, budget);
    if (!extents) return std::nullopt;
    if (!placement_) return rectOf(*extents);
    const auto window = windowOf(accessible, budget);
    if (!window) return std::nullopt;
    const auto placed = placementOf(window.get(), budget);
    if (!placed) return std::nullopt;
    if (sameObject(window.get(), accessible)) return placed->frame;
    Rect r = rectOf(*extents);
    r.x += placed->origin.x;
    r.y += placed->origin.y;
    return r;
}

// The top-level window of `application` that the window server's window stands for: it
// must contain the point; among several, the one whose frame matches the bounds best.
std::optional<AtspiAccessibility::PlacedWindow>
AtspiAccessibility::topLevelAt(AtspiAccessible* application, const Rect& bounds, double x, double y,
                               const CallBudget& budget) {
    std::optional<PlacedWindow> best;
    double bestDistance = 0;
    for (auto& window : childrenOf(application, budget)) {
        const auto placed = placementOf(window.get(), budget);
        if (!placed || !contains(placed->frame, pixel(x), pixel(y))) continue;
        const Rect& frame = placed->frame;
        const double distance = std::abs(frame.x - bounds.x) + std::abs(frame.y - bounds.y) +
                                std::abs(frame.width - bounds.width) +
                                std::abs(frame.height - bounds.height);
        if (!best || distance < bestDistance) {
            best = PlacedWindow{std::move(window), placed->origin};
            bestDistance = distance;
        }
    }
    return best;
}

std::optional<std::int32_t> AtspiAccessibility::pid(Element& element) {
    auto* target = asAtspi(element);
    if (!target || !connected_) return std::nullopt;
    switch (target->kind()) {
    case AtspiElement::Kind::SystemWide:
        return std::nullopt;
    case AtspiElement::Kind::Application:
        return target->applicationPid();
    case AtspiElement::Kind::Object:
        return processOf(target->accessible(), CallBudget(timeoutOf(*target)));
    }
    return std::nullopt;
}

AxStatus AtspiAccessibility::performAction(Element& element, const std::string& action) {
    auto* target = asAtspi(element);
    if (!target || !target->accessible()) return AxStatus::InvalidElement;
    if (!connected_) return AxStatus::NoService;
    if (target->kind() != AtspiElement::Kind::Object) return AxStatus::Unsupported;
    const CallBudget budget(timeoutOf(*target));
    if (action == "AXPress") return press(target->accessible(), budget);
    if (action == "AXScrollDownByPage") return scrollByPage(target->accessible(), true, budget);
    if (action == "AXScrollUpByPage") return scrollByPage(target->accessible(), false, budget);
    return AxStatus::Unsupported;
}

AxStatus AtspiAccessibility::setStringAttribute(Element& element, const std::string& attribute,
                                                const std::string& text) {
    auto* target = asAtspi(element);
    if (!target || !target->accessible()) return AxStatus::InvalidElement;
    if (!connected_) return AxStatus::NoService;
    if (target->kind() != AtspiElement::Kind::Object || attribute != "AXValue")
        return AxStatus::Unsupported;
    return setText(target->accessible(), text, CallBudget(timeoutOf(*target)));
}

bool AtspiAccessibility::equal(const Element& a, const Element& b) {
    const auto* first = asAtspi(a);
    const auto* second = asAtspi(b);
    if (!first || !second) return false;
    using Kind = AtspiElement::Kind;
    if (first->kind() == Kind::SystemWide || second->kind() == Kind::SystemWide)
        return first->kind() == second->kind();
    if (first->kind() == Kind::Application && second->kind() == Kind::Application &&
        first->applicationPid() == second->applicationPid())
        return true;
    return sameObject(first->accessible(), second->accessible());
}

} // namespace host::platform::linux_atspi
