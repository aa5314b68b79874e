#include "host/platform/fake/fake_clock.h"

#include <cstdio>
#include <random>

namespace host::platform::fake {

std::string FakeUuids::randomUuid() {
    ++count_;
    char text[37];
    if (mode_ == Mode::Sequential) {
        std::snprintf(text, sizeof text, "00000000-0000-4000-8000-%012llX",
                      static_cast<unsigned long long>(count_));
        return text;
    }
    static thread_local std::mt19937_64 random{std::random_device{}()};
    const std::uint64_t high = (random() & 0xFFFFFFFFFFFF0FFFULL) | 0x0000000000004000ULL;
    const std::uint64_t low = (random() & 0x3FFFFFFFFFFFFFFFULL) | 0x8000000000000000ULL;
    std::snprintf(text, sizeof text, "%08llX-%04llX-%04llX-%04llX-%012llX",
                  static_cast<unsigned long long>(high >> 32),
                  static_cast<unsigned long long>((high >> 16) & 0xFFFF),
                  static_cast<unsigned long long>(high & 0xFFFF),
                  static_cast<unsigned long long>(low >> 48),
                  static_cast<unsigned long long>(low & 0xFFFFFFFFFFFFULL));
    return text;
}

} // namespace host::platform::fake
