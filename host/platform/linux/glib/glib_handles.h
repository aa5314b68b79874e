#pragma once
// Owners for the GLib objects the Linux adapters hold, so every reference is dropped on
// every path without release calls in the logic.

#include "common/unique_handle.h"

#include <gio/gio.h>
#include <glib-object.h>

namespace host::platform::glib {

template <typename T> using GObjectRef = common::Owned<T, g_object_unref>;

// Takes a reference the caller already owns ("transfer full").
template <typename T> GObjectRef<T> adopt(T* object) {
    return GObjectRef<T>(object);
}
// Adds a reference of our own to an object someone else owns.
template <typename T> GObjectRef<T> share(T* object) {
    return GObjectRef<T>(object ? static_cast<T*>(g_object_ref(object)) : nullptr);
}

using GCharRef = common::Owned<gchar, g_free>;
using GErrorRef = common::Owned<GError, g_error_free>;
using GVariantRef = common::Owned<GVariant, g_variant_unref>;
using GMainContextRef = common::Owned<GMainContext, g_main_context_unref>;
using MainLoopRef = common::Owned<GMainLoop, g_main_loop_unref>;
using GSourceRef = common::Owned<GSource, g_source_unref>;

inline void freeArray(GArray* array) {
    g_array_free(array, TRUE);
}
using GArrayRef = common::Owned<GArray, freeArray>;

// Receives a GError** out-parameter: `GErrorSlot error; call(..., error.out());`
class GErrorSlot {
public:
    GError** out() { return &raw_; }
    bool set() const { return raw_ != nullptr; }
    ~GErrorSlot() {
        if (raw_) g_error_free(raw_);
    }

private:
    GError* raw_ = nullptr;
};

} // namespace host::platform::glib
