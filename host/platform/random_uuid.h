#pragma once
// Random (version 4) UUID text in canonical upper-case form, shared by the real UUID source
// and the fake one's random mode.

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>

namespace host::platform {

inline std::string randomUuidText() {
    static thread_local std::mt19937_64 random = [] {
        std::random_device entropy;
        std::seed_seq seed{entropy(), entropy(), entropy(), entropy(),
                           entropy(), entropy(), entropy(), entropy()};
        return std::mt19937_64(seed);
    }();
    // Version 4, variant 10xx.
    const std::uint64_t high = (random() & 0xFFFFFFFFFFFF0FFFULL) | 0x4000ULL;
    const std::uint64_t low = (random() & 0x3FFFFFFFFFFFFFFFULL) | 0x8000000000000000ULL;
    char text[37];
    std::snprintf(text, sizeof text, "%08llX-%04llX-%04llX-%04llX-%012llX",
                  static_cast<unsigned long long>(high >> 32),
                  static_cast<unsigned long long>((high >> 16) & 0xFFFF),
                  static_cast<unsigned long long>(high & 0xFFFF),
                  static_cast<unsigned long long>(low >> 48),
                  static_cast<unsigned long long>(low & 0xFFFFFFFFFFFFULL));
    return text;
}

} // namespace host::platform
