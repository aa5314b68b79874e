#pragma once
// The X keysyms (the names of keys on X11 and Wayland alike) of the original platform's
// virtual key codes, for the keys the host sends.

#include <array>
#include <cstdint>
#include <optional>
#include <utility>

namespace host::platform::linux_desktop {

// Nothing for a key the host does not send.
inline std::optional<std::uint32_t> keysymOf(std::uint16_t virtualKey) {
    static constexpr std::array<std::pair<std::uint16_t, std::uint32_t>, 5> table{{
        {48, 0xff09}, // Tab
        {36, 0xff0d}, // Return
        {49, 0x0020}, // space
        {51, 0xff08}, // BackSpace
        {53, 0xff1b}, // Escape
    }};
    for (const auto& [code, keysym] : table)
        if (code == virtualKey) return keysym;
    return std::nullopt;
}

} // namespace host::platform::linux_desktop
