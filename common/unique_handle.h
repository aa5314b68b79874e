#pragma once
// The one owner of C objects held by pointer: `Owned<T, release>` calls `release` exactly
// once when it goes, on every path, and never for null.

#include <cstdlib>
#include <memory>

namespace common {

template <auto Release> struct CallRelease {
    template <typename T> void operator()(T* object) const noexcept { Release(object); }
};

template <typename T, auto Release> using Owned = std::unique_ptr<T, CallRelease<Release>>;

// For blocks a C library hands over from malloc.
inline void freeMalloced(void* block) noexcept {
    std::free(block);
}
template <typename T> using Malloced = Owned<T, freeMalloced>;

} // namespace common
