#pragma once
// A codec library loaded on first use (dlopen), for codecs whose load would otherwise
// cost every run of a one-shot tool start-up time though few jobs need them.

#include "common/unique_handle.h"

#include <dlfcn.h>

namespace attachments {

using SharedLibrary = common::Owned<void, dlclose>;

inline SharedLibrary openSharedLibrary(const char* soname) {
    return SharedLibrary(dlopen(soname, RTLD_NOW | RTLD_LOCAL));
}

// Points `slot` at the library's `name`; false when the library lacks it.
template <typename Function>
bool resolve(const SharedLibrary& library, const char* name, Function& slot) {
    slot = reinterpret_cast<Function>(dlsym(library.get(), name));
    return slot != nullptr;
}

// A library and its table of functions, loaded once: `resolveAll(library, table)` points
// every slot of the table and says whether all were found.
template <typename Functions> class LoadedLibrary {
public:
    template <typename ResolveAll>
    LoadedLibrary(const char* soname, ResolveAll resolveAll) : library_(openSharedLibrary(soname)) {
        complete_ = library_ && resolveAll(library_, functions_);
    }

    // The table, or nullptr when the library is not installed or lacks a function.
    const Functions* functions() const { return complete_ ? &functions_ : nullptr; }

private:
    SharedLibrary library_;
    Functions functions_{};
    bool complete_ = false;
};

} // namespace attachments
