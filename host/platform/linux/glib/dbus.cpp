#include "host/platform/linux/glib/dbus.h"

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

namespace {

// Makes `context` the thread's default while it lives: asynchronous calls started meanwhile
// deliver their replies there, and nowhere else.
class ThreadDefaultContext {
public:
    explicit ThreadDefaultContext(GMainContext* context) : context_(context) {
        g_main_context_push_thread_default(context_);
    }
    ~ThreadDefaultContext() { g_main_context_pop_thread_default(context_); }
    ThreadDefaultContext(const ThreadDefaultContext&) = delete;
    ThreadDefaultContext& operator=(const ThreadDefaultContext&) = delete;

private:
    GMainContext* context_;
};

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

std::vector<Variant> callTogether(GDBusConnection* bus, std::span<const Call> calls) {
    PendingReplies pending;
    pending.replies.resize(calls.size());
    if (bus == nullptr || g_dbus_connection_is_closed(bus)) return std::move(pending.replies);
    glib::GMainContextRef context(g_main_context_new());
    ThreadDefaultContext scope(context.get());
    for (std::size_t i = 0; i < calls.size(); ++i) {
        const Call& c = calls[i];
        g_dbus_connection_call(bus, c.destination, c.path, c.interface, c.method, nullptr,
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
