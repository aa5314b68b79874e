#pragma once
// The accessibility port over AT-SPI (libatspi). Elements are owned references to AT-SPI
// accessibles; attributes and actions are translated into the host's vocabulary:
//
// - "AXFocusedWindow" (application): its top-level window with the ACTIVE state.
// - "AXFocusedUIElement" (application, system-wide): the element that last gained focus
//   according to the focus events, else the FOCUSED descendant of the active window.
// - "AXPosition", "AXSize": Component extents in screen coordinates. Where toolkits know only
//   their own surface (Wayland), the window's placement on the screen is added, and a
//   top-level window is where the compositor says its frame is.
// - "AXWindow": the top-level window holding the element. "AXRole", "AXSubrole": see
//   role_vocabulary.h. "AXTitle": the name. "AXValue": the text of a Text element.
// - "AXPress": the element's action named "click", "press" or "toggle" (in that order),
//   while the element is sensitive and enabled; "activate" (Enter) is no press.
// - "AXScrollDownByPage", "AXScrollUpByPage": the vertical scroll bar of the element's
//   scroll pane moves by the visible height of the pane's content (for GTK exactly the
//   adjustment's page size, in pixels), clamped to the bar's range.
// - setting "AXValue": EditableText's set_text_contents on an editable element, confirmed
//   by reading the text back; a text holding U+0000 cannot be sent.
// - Element at a point: the front-most window under the point according to the window
//   server (stacking order and opacity), then the deepest accessible there in the matching
//   top-level window of that window's process.
//
// Every call is bounded by the element's messaging timeout (default 2 s, also for the
// elements a hit test or a focus read hands out), and makes no request once it is spent,
// so a hung application cannot stall the host (call_budget.h says how requests share it). Call on
// the main thread only; focus events are dispatched by the GLib main context of that thread.

#include "host/platform/accessibility_port.h"
#include "host/platform/linux/accessibility/atspi_handles.h"
#include "host/platform/linux/accessibility/call_budget.h"
#include "host/platform/linux/surface_placement.h"
#include "host/platform/window_server_port.h"

#include <atspi/atspi.h>

#include <memory>

namespace host::platform::linux_atspi {

class AtspiElement;
class FocusTracker;

class AtspiAccessibility final : public AccessibilityPort {
public:
    // `windows` tells which window is front-most at a point; `placement`, when toolkits do
    // not report screen coordinates, where their windows are. Both must outlive the adapter.
    explicit AtspiAccessibility(WindowServerPort& windows,
                                linux_desktop::SurfacePlacement* placement = nullptr);
    ~AtspiAccessibility() override;

    ElementRef createApplication(std::int32_t pid) override;
    ElementRef createSystemWide() override;
    void setMessagingTimeout(Element& element, float seconds) override;
    AttributeResult copyAttribute(Element& element, const std::string& attribute) override;
    ElementAtResult elementAtPosition(Element& systemWide, float x, float y) override;
    std::optional<std::int32_t> pid(Element& element) override;
    AxStatus performAction(Element& element, const std::string& action) override;
    AxStatus setStringAttribute(Element& element, const std::string& attribute,
                                const std::string& value) override;
    bool equal(const Element& a, const Element& b) override;

    static constexpr float kDefaultTimeoutSeconds = 2.0f;

private:
    float timeoutOf(const AtspiElement& element) const;
    static CallBudget::Requests requestsOf(const AtspiElement& element);
    AtspiAccessible* rootOf(AtspiElement& application, const CallBudget& budget);
    AttributeResult focusedElementOf(AtspiAccessible* application, const CallBudget& budget);
    AttributeResult systemWideAttribute(const std::string& attribute, const CallBudget& budget);
    AttributeResult applicationAttribute(AtspiElement& element, const std::string& attribute,
                                         const CallBudget& budget);
    AttributeResult objectAttribute(AtspiAccessible* accessible, const std::string& attribute,
                                    const CallBudget& budget);
    ElementAtResult hitTest(float x, float y, std::optional<std::int32_t> onlyPid,
                            const CallBudget& budget);
    std::optional<linux_desktop::Placement> placementOf(AtspiAccessible* topLevel,
                                                        const CallBudget& budget);
    std::optional<Rect> screenExtentsOf(AtspiAccessible* accessible, const CallBudget& budget);
    struct PlacedWindow {
        GObjectRef<AtspiAccessible> window;
        Point origin;
    };
    std::optional<PlacedWindow> topLevelAt(AtspiAccessible* application, const Rect& bounds,
                                           double x, double y, const CallBudget& budget);

    WindowServerPort& windows_;
    linux_desktop::SurfacePlacement* placement_;
    bool connected_ = false;
    float defaultTimeout_ = kDefaultTimeoutSeconds;
    std::unique_ptr<FocusTracker> focus_;
};

} // namespace host::platform::linux_atspi
