#pragma once
// libatspi for the whole process: connected once, on first use, and kept quiet (its
// warnings would otherwise reach standard error).

namespace host::platform::linux_atspi {

// Connects to the accessibility bus the first time; later calls repeat the first answer.
// False when the session offers no accessibility bus: then no other libatspi function may
// be called (libatspi aborts the process when it finds no bus).
bool accessibilityBusConnected();

} // namespace host::platform::linux_atspi
