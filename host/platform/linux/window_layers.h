#pragma once
// Window layers as the original window server numbers them, so that the host's rules read
// the same on every Linux desktop: ordinary application windows are 0.

#include <cstdint>

namespace host::platform::linux_desktop::layer {

inline constexpr std::int64_t kDesktop = -2147483623;
inline constexpr std::int64_t kNormal = 0;
inline constexpr std::int64_t kFloating = 3;
inline constexpr std::int64_t kDock = 20;
inline constexpr std::int64_t kNotification = 23;
inline constexpr std::int64_t kMenu = 101;
inline constexpr std::int64_t kTooltip = 2147483630;

} // namespace host::platform::linux_desktop::layer
