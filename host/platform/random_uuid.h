#pragma once
// Random (version 4) UUID text in canonical upper-case form, shared by the real UUID source
// and the fake one's random mode.
//
// The bits come from the kernel's random source (getrandom(2)), drawn afresh for every
// identifier: a frame identifier is what lets a request act, so it must not follow from
// earlier ones, nor repeat in a forked process, as a seeded generator in user space would.

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/random.h>

namespace host::platform {

// Canonical upper-case text of 16 random bytes, made a version 4, variant 10xx UUID.
inline std::string uuidText(std::array<std::uint8_t, 16> bytes) {
    bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x40);
    bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);
    char text[37];
    std::snprintf(text, sizeof text,
                  "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", bytes[0],
                  bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7], bytes[8],
                  bytes[9], bytes[10], bytes[11], bytes[12], bytes[13], bytes[14], bytes[15]);
    return text;
}

inline std::string randomUuidText() {
    std::array<std::uint8_t, 16> bytes{};
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        const ssize_t got = ::getrandom(bytes.data() + filled, bytes.size() - filled, 0);
        if (got > 0) {
            filled += static_cast<std::size_t>(got);
        } else if (got < 0 && errno != EINTR) {
            // No kernel source (ENOSYS under an old kernel or a strict seccomp filter):
            // nothing safe can stand in for it, and a guessable identifier would let
            // anyone act on what the host captured.
            std::abort();
        }
    }
    return uuidText(bytes);
}

} // namespace host::platform
