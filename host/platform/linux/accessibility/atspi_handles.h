#pragma once
// The owners this adapter uses: GLib's, and the one of an AT-SPI event.

#include "common/unique_handle.h"
#include "host/platform/linux/glib/glib_handles.h"

#include <atspi/atspi.h>

namespace host::platform::linux_atspi {

using glib::adopt;
using glib::GArrayRef;
using glib::GCharRef;
using glib::GErrorSlot;
using glib::GObjectRef;
using glib::share;

inline void freeEvent(AtspiEvent* event) {
    g_boxed_free(ATSPI_TYPE_EVENT, event);
}
using AtspiEventRef = common::Owned<AtspiEvent, freeEvent>;

} // namespace host::platform::linux_atspi
