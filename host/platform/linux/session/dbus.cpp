#include "host/platform/linux/session/dbus.h"

#include <cstdlib>
#include <sys/stat.h>

namespace host::platform::linux_desktop::dbus {
namespace {

bool isSocket(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISSOCK(info.st_mode);
}

} // namespace

Connection connectAddress(const std::string& address) {
    GError* raw = nullptr;
    Connection connection(g_dbus_connection_new_for_address_sync(
        address.c_str(),
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, &raw));
    Error error(raw);
    if (connection) g_dbus_connection_set_exit_on_close(connection.get(), FALSE);
    return connection;
}

Connection connectSessionBus() {
    if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS"); address && *address)
        return connectAddress(address);
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
        const std::string path = std::string(runtime) + "/bus";
        if (isSocket(path)) return connectAddress("unix:path=" + path);
    }
    return nullptr;
}

Connection connectSystemBus() {
    if (const char* address = std::getenv("DBUS_SYSTEM_BUS_ADDRESS"); address && *address)
        return connectAddress(address);
    const std::string path = "/run/dbus/system_bus_socket";
    if (isSocket(path)) return connectAddress("unix:path=" + path);
    return nullptr;
}

Variant call(GDBusConnection* bus, const char* destination, const char* path, const char* interface,
             const char* method, GVariant* parameters, const char* replyType, bool autoStart) {
    if (bus == nullptr || g_dbus_connection_is_closed(bus)) {
        if (parameters != nullptr) g_variant_unref(g_variant_ref_sink(parameters));
        return nullptr;
    }
    GError* raw = nullptr;
    Variant reply(g_dbus_connection_call_sync(
        bus, destination, path, interface, method, parameters,
        replyType != nullptr ? G_VARIANT_TYPE(replyType) : nullptr,
        autoStart ? G_DBUS_CALL_FLAGS_NONE : G_DBUS_CALL_FLAGS_NO_AUTO_START, callTimeoutMs,
        nullptr, &raw));
    Error error(raw);
    return reply;
}

std::optional<bool> booleanProperty(GDBusConnection* bus, const char* destination, const char* path,
                                    const char* interface, const char* name) {
    Variant reply = call(bus, destination, path, "org.freedesktop.DBus.Properties", "Get",
                         g_variant_new("(ss)", interface, name), "(v)");
    if (!reply) return std::nullopt;
    Variant value(g_variant_get_child_value(reply.get(), 0));
    Variant inner(g_variant_get_variant(value.get()));
    if (!g_variant_is_of_type(inner.get(), G_VARIANT_TYPE_BOOLEAN)) return std::nullopt;
    return g_variant_get_boolean(inner.get()) != FALSE;
}

} // namespace host::platform::linux_desktop::dbus
