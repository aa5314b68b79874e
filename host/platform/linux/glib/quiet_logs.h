#pragma once
// The host writes nothing on standard error: the messages GLib and the libraries built on
// it (GIO, AT-SPI) would print are dropped instead.

namespace host::platform::glib {

// Process-wide; call before any library that logs is used.
void dropLibraryMessages();

} // namespace host::platform::glib
