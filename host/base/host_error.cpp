#include "host/base/host_error.h"

#include <array>
#include <utility>

namespace host {
namespace {

constexpr std::array<std::pair<ErrorCode, std::string_view>, 23> kWireNames{{
    {ErrorCode::UnknownMethod, "unknown_method"},
    {ErrorCode::InvalidPermission, "invalid_permission"},
    {ErrorCode::MacLocked, "mac_locked"},
    {ErrorCode::ScreenPermissionRequired, "screen_permission_required"},
    {ErrorCode::AccessibilityPermissionRequired, "accessibility_permission_required"},
    {ErrorCode::InvalidApp, "invalid_app"},
    {ErrorCode::UnsignedApp, "unsigned_app"},
    {ErrorCode::AppChanged, "app_changed"},
    {ErrorCode::TargetChanged, "target_changed"},
    {ErrorCode::TargetUnavailable, "target_unavailable"},
    {ErrorCode::TargetNotFrontmost, "target_not_frontmost"},
    {ErrorCode::StaleFrame, "stale_frame"},
    {ErrorCode::OutsideWindow, "outside_window"},
    {ErrorCode::WindowObscured, "window_obscured"},
    {ErrorCode::UnsupportedClick, "unsupported_click"},
    {ErrorCode::UnsupportedScroll, "unsupported_scroll"},
    {ErrorCode::InvalidText, "invalid_text"},
    {ErrorCode::NoFocusedField, "no_focused_field"},
    {ErrorCode::UnsupportedTextField, "unsupported_text_field"},
    {ErrorCode::UnsupportedKey, "unsupported_key"},
    {ErrorCode::InputUnavailable, "input_unavailable"},
    {ErrorCode::ImageTooLarge, "image_too_large"},
    {ErrorCode::EngineFailed, "engine_failed"},
}};

// The table lists every code once, in the enumeration's order.
constexpr bool inOrder() {
    for (std::size_t i = 0; i < kWireNames.size(); ++i)
        if (static_cast<std::size_t>(kWireNames[i].first) != i) return false;
    return static_cast<std::size_t>(ErrorCode::EngineFailed) + 1 == kWireNames.size();
}
static_assert(inOrder());

} // namespace

std::string_view wireName(ErrorCode code) {
    return kWireNames[static_cast<std::size_t>(code)].second;
}

} // namespace host
