#pragma once
// Owners for the GLib and AT-SPI objects this adapter holds, so every reference is dropped
// on every path without release calls in the logic.

#include <atspi/atspi.h>
#include <glib-object.h>

#include <memory>

namespace host::platform::linux_atspi {

struct GObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
template <typename T> using GObjectRef = std::unique_ptr<T, GObjectUnref>;

// Takes a reference the caller already owns ("transfer full").
template <typename T> GObjectRef<T> adopt(T* object) {
    return GObjectRef<T>(object);
}
// Adds a reference of our own to an object someone else owns.
template <typename T> GObjectRef<T> share(T* object) {
    return GObjectRef<T>(object ? static_cast<T*>(g_object_ref(object)) : nullptr);
}

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

struct GFree {
    void operator()(gpointer p) const { g_free(p); }
};
using GCharRef = std::unique_ptr<gchar, GFree>;

struct GArrayFree {
    void operator()(GArray* array) const { g_array_free(array, TRUE); }
};
using GArrayRef = std::unique_ptr<GArray, GArrayFree>;

struct AtspiEventFree {
    void operator()(AtspiEvent* event) const { g_boxed_free(ATSPI_TYPE_EVENT, event); }
};
using AtspiEventRef = std::unique_ptr<AtspiEvent, AtspiEventFree>;

} // namespace host::platform::linux_atspi
