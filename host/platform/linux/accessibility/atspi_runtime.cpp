#include "host/platform/linux/accessibility/atspi_runtime.h"

#include <atspi/atspi.h>
#include <glib.h>

#include <cstdlib>
#include <string>
#include <sys/stat.h>

namespace host::platform::linux_atspi {
namespace {

void discardMessage(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}

bool nonEmpty(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

// Whether a bus could be reached without libdbus "autolaunching" a bus daemon of its own,
// which it does when no session bus is named.
bool sessionHasBus() {
    if (nonEmpty("AT_SPI_BUS_ADDRESS") || nonEmpty("DBUS_SESSION_BUS_ADDRESS")) return true;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!runtime || !*runtime) return false;
    struct stat info {};
    return ::stat((std::string(runtime) + "/bus").c_str(), &info) == 0 && S_ISSOCK(info.st_mode);
}

bool connect() {
    // libatspi logs in the default domain; fatal errors still abort as GLib insists.
    const auto levels =
        static_cast<GLogLevelFlags>(G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING |
                                    G_LOG_LEVEL_MESSAGE | G_LOG_LEVEL_INFO | G_LOG_LEVEL_DEBUG);
    g_log_set_handler(nullptr, levels, discardMessage, nullptr);
    if (!sessionHasBus()) return false;
    // 0: connected now; 1: someone in this process connected before us.
    const int result = atspi_init();
    return result == 0 || result == 1;
}

} // namespace

bool accessibilityBusConnected() {
    static const bool connected = connect();
    return connected;
}

} // namespace host::platform::linux_atspi
