#include "host/platform/linux/gnome/gnome_display_facts.h"

#include "host/platform/linux/gnome/shell_windows.h"

namespace host::platform::gnome {
namespace {

namespace dbus = linux_desktop::dbus;

constexpr const char* kDisplayConfig = "org.gnome.Mutter.DisplayConfig";
constexpr const char* kDisplayConfigPath = "/org/gnome/Mutter/DisplayConfig";
constexpr const char* kPeer = "org.freedesktop.DBus.Peer";

class PowerSaveWatch final : public linux_desktop::DisplayFacts::Watch {
public:
    PowerSaveWatch(GDBusConnection* bus, GMainContext* context, std::function<void(bool)> changed)
        : changed_(std::move(changed)) {
        const dbus::ThreadDefaultContext scope(context);
        subscription_ = dbus::Subscription(
            bus, kDisplayConfig, kDisplayConfigPath, "org.freedesktop.DBus.Properties",
            "PropertiesChanged", [this](GVariant* parameters) { propertiesChanged(parameters); });
        // Changes are told from the state the displays are in now.
        dbus::Variant mode = dbus::property(bus, kDisplayConfig, kDisplayConfigPath, kDisplayConfig,
                                            "PowerSaveMode");
        if (mode && g_variant_is_of_type(mode.get(), G_VARIANT_TYPE_INT32))
            asleep_ = asleepInMode(g_variant_get_int32(mode.get()));
    }

private:
    void propertiesChanged(GVariant* parameters) {
        if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(sa{sv}as)"))) return;
        dbus::Variant changed(g_variant_get_child_value(parameters, 1));
        gint32 mode = 0;
        if (!g_variant_lookup(changed.get(), "PowerSaveMode", "i", &mode)) return;
        const auto asleep = asleepInMode(mode);
        if (!asleep || asleep == asleep_) return;
        asleep_ = asleep;
        changed_(*asleep);
    }

    std::function<void(bool)> changed_;
    std::optional<bool> asleep_;
    dbus::Subscription subscription_; // last: ends before the rest goes
};

} // namespace

std::optional<bool> asleepInMode(std::int32_t mode) {
    if (mode == 0) return false;
    if (mode >= 1 && mode <= 3) return true;
    return std::nullopt;
}

bool GnomeDisplayFacts::reachable() {
    return dbus::call(bus_.get(), kShellName, "/org/gnome/Shell", kPeer, "Ping", nullptr, "()") !=
           nullptr;
}

// Both services must answer: the extension for what is on the screen, ScreenCast for the
// pixels of one window.
bool GnomeDisplayFacts::captureAvailable() {
    return askShell(bus_.get()) &&
           dbus::call(bus_.get(), "org.gnome.Mutter.ScreenCast", "/org/gnome/Mutter/ScreenCast",
                      kPeer, "Ping", nullptr, "()");
}

std::optional<std::int32_t> GnomeDisplayFacts::activeWindowPid() {
    const auto shell = askShell(bus_.get());
    if (!shell || shell->focus == 0) return std::nullopt;
    for (const ShellWindow& window : shell->windows)
        if (window.id == shell->focus && window.pid > 0) return window.pid;
    return std::nullopt;
}

std::unique_ptr<linux_desktop::DisplayFacts::Watch>
GnomeDisplayFacts::watchSleep(GMainContext* context, std::function<void(bool)> changed) {
    if (!bus_) return nullptr;
    return std::make_unique<PowerSaveWatch>(bus_.get(), context, std::move(changed));
}

} // namespace host::platform::gnome
