#include "host/platform/linux/glib/dbus.h"

#include <cstdlib>
#include <sys/stat.h>

#include <utility>

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
             const char* method, GVariant* parameters, const char* replyType, bool autoStart,
             int timeoutMs) {
    if (bus == nullptr || g_dbus_connection_is_closed(bus)) {
        if (parameters != nullptr) g_variant_unref(g_variant_ref_sink(parameters));
        return nullptr;
    }
    GError* raw = nullptr;
    Variant reply(g_dbus_connection_call_sync(
        bus, destination, path, interface, method, parameters,
        replyType != nullptr ? G_VARIANT_TYPE(replyType) : nullptr,
        autoStart ? G_DBUS_CALL_FLAGS_NONE : G_DBUS_CALL_FLAGS_NO_AUTO_START, timeoutMs, nullptr,
        &raw));
    Error error(raw);
    return reply;
}

namespace {

struct PendingReplies {
    std::vector<Variant> replies;
    std::size_t outstanding = 0;
};

struct ReplySlot {
    PendingReplies* pending;
    std::size_t index;
};

void replied(GObject* bus, GAsyncResult* result, gpointer data) {
    std::unique_ptr<ReplySlot> slot(static_cast<ReplySlot*>(data));
    GError* raw = nullptr;
    slot->pending->replies[slot->index].reset(
        g_dbus_connection_call_finish(G_DBUS_CONNECTION(bus), result, &raw));
    Error error(raw);
    --slot->pending->outstanding;
}

} // namespace

std::vector<Variant> callTogether(std::span<const Call> calls) {
    PendingReplies pending;
    pending.replies.resize(calls.size());
    glib::GMainContextRef context(g_main_context_new());
    ThreadDefaultContext scope(context.get());
    for (std::size_t i = 0; i < calls.size(); ++i) {
        const Call& c = calls[i];
        if (c.bus == nullptr || g_dbus_connection_is_closed(c.bus)) {
            if (c.parameters != nullptr) g_variant_unref(g_variant_ref_sink(c.parameters));
            continue;
        }
        g_dbus_connection_call(c.bus, c.destination, c.path, c.interface, c.method, c.parameters,
                               c.replyType != nullptr ? G_VARIANT_TYPE(c.replyType) : nullptr,
                               G_DBUS_CALL_FLAGS_NO_AUTO_START, callTimeoutMs, nullptr, &replied,
                               new ReplySlot{&pending, i});
        ++pending.outstanding;
    }
    // Every call ends in its callback, with a reply, an error or the timeout.
    while (pending.outstanding > 0)
        g_main_context_iteration(context.get(), TRUE);
    return std::move(pending.replies);
}

namespace {

void signalled(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
               GVariant* parameters, gpointer data) {
    (*static_cast<Subscription::Handler*>(data))(parameters);
}

} // namespace

Subscription::Subscription(GDBusConnection* bus, const char* sender, const char* path,
                           const char* interface, const char* member, Handler handler) {
    if (bus == nullptr) return;
    bus_ = glib::share(bus);
    id_ = g_dbus_connection_signal_subscribe(
        bus, sender, interface, member, path, nullptr, G_DBUS_SIGNAL_FLAGS_NONE, &signalled,
        new Handler(std::move(handler)), [](gpointer data) { delete static_cast<Handler*>(data); });
}

Subscription::~Subscription() {
    if (id_ != 0) g_dbus_connection_signal_unsubscribe(bus_.get(), id_);
}

Subscription::Subscription(Subscription&& other) noexcept
    : bus_(std::move(other.bus_)), id_(std::exchange(other.id_, 0)) {}

Subscription& Subscription::operator=(Subscription&& other) noexcept {
    if (this != &other) {
        if (id_ != 0) g_dbus_connection_signal_unsubscribe(bus_.get(), id_);
        bus_ = std::move(other.bus_);
        id_ = std::exchange(other.id_, 0);
    }
    return *this;
}

Variant property(GDBusConnection* bus, const char* destination, const char* path,
                 const char* interface, const char* name) {
    return propertyOfReply(call(bus, destination, path, "org.freedesktop.DBus.Properties", "Get",
                                g_variant_new("(ss)", interface, name), "(v)"));
}

Variant propertyOfReply(const Variant& reply) {
    if (!reply) return nullptr;
    Variant value(g_variant_get_child_value(reply.get(), 0));
    return Variant(g_variant_get_variant(value.get()));
}

std::optional<bool> booleanOf(const Variant& value) {
    if (!value || !g_variant_is_of_type(value.get(), G_VARIANT_TYPE_BOOLEAN)) return std::nullopt;
    return g_variant_get_boolean(value.get()) != FALSE;
}

} // namespace host::platform::linux_desktop::dbus
