#pragma once
// The host's error codes, and the error value the logic raises: the answer's `error` is the
// code's wire name.

#include <string_view>

namespace host {

enum class ErrorCode {
    UnknownMethod,
    InvalidPermission,
    MacLocked,
    ScreenPermissionRequired,
    AccessibilityPermissionRequired,
    InvalidApp,
    UnsignedApp,
    AppChanged,
    TargetChanged,
    TargetUnavailable,
    TargetNotFrontmost,
    StaleFrame,
    OutsideWindow,
    WindowObscured,
    UnsupportedClick,
    UnsupportedScroll,
    InvalidText,
    NoFocusedField,
    UnsupportedTextField,
    UnsupportedKey,
    InputUnavailable,
    ImageTooLarge,
    EngineFailed, // a platform service failed
};

// "unknown_method", "mac_locked", ...
std::string_view wireName(ErrorCode code);

struct HostError {
    ErrorCode code;
    std::string_view name() const { return wireName(code); }
};

[[noreturn]] inline void fail(ErrorCode code) {
    throw HostError{code};
}

} // namespace host
