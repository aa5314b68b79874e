#pragma once
// A codec library loaded on first use (dlopen), for codecs whose load would otherwise
// cost every run of a one-shot tool start-up time though few jobs need them.

#include <dlfcn.h>

#include <memory>

namespace attachments {

struct LibraryCloser {
    void operator()(void* handle) const { dlclose(handle); }
};
using SharedLibrary = std::unique_ptr<void, LibraryCloser>;

inline SharedLibrary openSharedLibrary(const char* soname) {
    return SharedLibrary(dlopen(soname, RTLD_NOW | RTLD_LOCAL));
}

// Points `slot` at the library's `name`; false when the library lacks it.
template <typename Function>
bool resolve(const SharedLibrary& library, const char* name, Function& slot) {
    slot = reinterpret_cast<Function>(dlsym(library.get(), name));
    return slot != nullptr;
}

} // namespace attachments
