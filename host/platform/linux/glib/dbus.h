#pragma once
// Small, bounded D-Bus conversations: every call gives up after a short time, so a service
// that hangs never holds the host for long.

#include "host/platform/linux/glib/glib_handles.h"

#include <gio/gio.h>

#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace host::platform::linux_desktop::dbus {

inline constexpr int callTimeoutMs = 300;

using Connection = glib::GObjectRef<GDBusConnection>;
using Variant = glib::GVariantRef;
using Error = glib::GErrorRef;

// The session bus of the environment (DBUS_SESSION_BUS_ADDRESS, else the user's runtime
// directory), never started on demand; nothing when there is none.
Connection connectSessionBus();
// The system bus, when this machine has one.
Connection connectSystemBus();
// A private connection to a bus at `address`.
Connection connectAddress(const std::string& address);

// A method call with the short timeout; nothing on any error. `autoStart` lets the bus
// start an activatable service.
Variant call(GDBusConnection* bus, const char* destination, const char* path, const char* interface,
             const char* method, GVariant* parameters, const char* replyType,
             bool autoStart = false, int timeoutMs = callTimeoutMs);

// One call of a batch for callTogether, on its own bus (none: the call fails). The
// parameters, when given, are a floating reference that the batch consumes.
struct Call {
    GDBusConnection* bus;
    const char* destination;
    const char* path;
    const char* interface;
    const char* method;
    const char* replyType;
    GVariant* parameters = nullptr;
};

// Several calls, on one bus or several, sent at once and their replies awaited together, so
// that they cost one round trip rather than one each; the replies in the order asked,
// nothing where a call failed. The short timeout applies to each.
std::vector<Variant> callTogether(std::span<const Call> calls);

// A property's value through org.freedesktop.DBus.Properties.Get; nothing on any error.
Variant property(GDBusConnection* bus, const char* destination, const char* path,
                 const char* interface, const char* name);

// The value inside a reply of org.freedesktop.DBus.Properties.Get ("(v)"), as one sent
// with callTogether brings it; nothing without a reply.
Variant propertyOfReply(const Variant& reply);

// A value as a boolean; nothing when there is none or it is of another type.
std::optional<bool> booleanOf(const Variant& value);

// Makes `context` the thread's default while it lives: signal subscriptions and asynchronous
// calls made meanwhile deliver there, and nowhere else.
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

// One signal subscription, dispatched from the thread-default context of the thread that
// made it, and ended when it goes. The handler gets the signal's parameters.
class Subscription {
public:
    using Handler = std::function<void(GVariant* parameters)>;
    Subscription() = default;
    Subscription(GDBusConnection* bus, const char* sender, const char* path, const char* interface,
                 const char* member, Handler handler);
    ~Subscription();
    Subscription(Subscription&& other) noexcept;
    Subscription& operator=(Subscription&& other) noexcept;
    explicit operator bool() const { return id_ != 0; }

private:
    Connection bus_;
    guint id_ = 0;
};

} // namespace host::platform::linux_desktop::dbus
