#include "host/platform/linux/accessibility/focus_tracker.h"

#include "host/platform/linux/accessibility/atspi_identity.h"

#include <cstring>

namespace host::platform::linux_atspi {
namespace {

constexpr const char* kFocusChange = "object:state-changed:focused";
constexpr const char* kLegacyFocus = "focus:";

} // namespace

FocusTracker::FocusTracker()
    : listener_(adopt(atspi_event_listener_new(&FocusTracker::onEvent, this, nullptr))) {
    // Registration fails only when the registry is gone; then nothing is tracked and the
    // adapter falls back to the FOCUSED states.
    atspi_event_listener_register(listener_.get(), kFocusChange, nullptr);
    atspi_event_listener_register(listener_.get(), kLegacyFocus, nullptr);
}

FocusTracker::~FocusTracker() {
    atspi_event_listener_deregister(listener_.get(), kFocusChange, nullptr);
    atspi_event_listener_deregister(listener_.get(), kLegacyFocus, nullptr);
}

void FocusTracker::onEvent(AtspiEvent* raw, void* self) {
    AtspiEventRef event(raw); // handed to us: ours to free
    if (event && event->source) static_cast<FocusTracker*>(self)->record(*event);
}

void FocusTracker::record(AtspiEvent& event) {
    const auto bus = busNameOf(event.source);
    if (!bus) return;
    // Applications that have left the bus keep no element alive here.
    std::erase_if(focusByApplication_, [](const auto& entry) {
        const AtspiApplication* app = entry.second->parent.app;
        return app == nullptr || app->bus == nullptr;
    });
    const bool gained = std::strcmp(event.type, kLegacyFocus) == 0 || event.detail1 != 0;
    if (gained) {
        focusByApplication_[*bus] = share(event.source);
        latest_ = share(event.source);
        return;
    }
    const auto found = focusByApplication_.find(*bus);
    if (found != focusByApplication_.end() && sameObject(found->second.get(), event.source))
        focusByApplication_.erase(found);
    if (latest_ && sameObject(latest_.get(), event.source)) latest_.reset();
}

GObjectRef<AtspiAccessible> FocusTracker::focusedIn(const std::string& busName) const {
    const auto found = focusByApplication_.find(busName);
    return found == focusByApplication_.end() ? nullptr : share(found->second.get());
}

GObjectRef<AtspiAccessible> FocusTracker::latest() const {
    return share(latest_.get());
}

} // namespace host::platform::linux_atspi
