#include "host/platform/linux/session/linux_session.h"

#include "host/platform/linux/glib/dbus.h"

#include <unistd.h>

#include <mutex>
#include <utility>
#include <vector>

namespace host::platform::linux_desktop {
namespace {

using Deliver = std::function<void(ScreenNotification)>;

// The screen savers that announce and report the lock: the freedesktop one, GNOME's, and
// GNOME Shell's own screen shield, which GNOME's relays and which answers even before
// anything started that relay.
struct ScreenSaverService {
    const char* name;
    const char* path;
    const char* interface;
};
constexpr ScreenSaverService screenSavers[] = {
    {"org.freedesktop.ScreenSaver", "/org/freedesktop/ScreenSaver", "org.freedesktop.ScreenSaver"},
    {"org.gnome.ScreenSaver", "/org/gnome/ScreenSaver", "org.gnome.ScreenSaver"},
    {"org.gnome.Shell.ScreenShield", "/org/gnome/ScreenSaver", "org.gnome.ScreenSaver"},
};

struct LogindFacts {
    std::optional<bool> active;
    std::optional<bool> lockedHint;
};

class LinuxSession : public SessionPort {
public:
    LinuxSession(std::unique_ptr<DisplayFacts> display, BundleIdOfProcess bundleIdOfProcess)
        : bundleIdOfProcess_(std::move(bundleIdOfProcess)), display_(std::move(display)) {}

    ~LinuxSession() override { unsubscribe(); }

    std::optional<SessionInfo> session() override {
        if (!display_ || !display_->reachable()) return std::nullopt;
        const Facts answered = facts();
        const LogindFacts& login = answered.login;
        SessionInfo info;
        // Without logind, a reachable local display is the console.
        info.onConsole = login.active.value_or(display_->local());
        const std::optional<bool> saver = answered.saverActive;
        if (saver == true || login.lockedHint == true)
            info.screenIsLocked = true;
        else if (saver || login.lockedHint)
            info.screenIsLocked = false;
        return info;
    }

    std::optional<FrontmostApplication> frontmostApplication() override {
        const auto pid = display_ ? display_->activeWindowPid() : std::nullopt;
        if (!pid) return std::nullopt;
        return FrontmostApplication{*pid, bundleIdOfProcess_(*pid)};
    }

    bool screenCaptureAllowed() override {
        return display_ && display_->reachable() && display_->captureAvailable();
    }

    // The accessibility bus's address changes only when its launcher restarts, and then the
    // old bus goes away: a connection still open needs no question to the session bus.
    bool accessibilityTrusted() override {
        std::lock_guard lock(accessibilityMutex_);
        if (accessibilityBus_ && !g_dbus_connection_is_closed(accessibilityBus_.get())) return true;
        dbus::Variant reply = dbus::call(sessionBus(), "org.a11y.Bus", "/org/a11y/bus",
                                         "org.a11y.Bus", "GetAddress", nullptr, "(s)",
                                         /*autoStart=*/true);
        if (!reply) return false;
        const gchar* address = nullptr;
        g_variant_get(reply.get(), "(&s)", &address);
        accessibilityBus_ = dbus::connectAddress(address);
        return accessibilityBus_ != nullptr;
    }

    // Screen capture needs no consent on X11: there is nothing to ask.
    void requestScreenCapture() override {}

    // Turns the desktop's accessibility on; applications then join the accessibility bus.
    void requestAccessibility() override {
        dbus::call(
            sessionBus(), "org.a11y.Bus", "/org/a11y/bus", "org.freedesktop.DBus.Properties", "Set",
            g_variant_new("(ssv)", "org.a11y.Status", "IsEnabled", g_variant_new_boolean(TRUE)),
            nullptr, /*autoStart=*/true);
    }

    std::optional<std::string> ownBundleIdentifier() override {
        return bundleIdOfProcess_(static_cast<std::int32_t>(::getpid()));
    }

    void subscribe(Deliver deliver) override {
        unsubscribe();
        deliver_ = std::make_shared<Deliver>(std::move(deliver));
        std::weak_ptr<Deliver> weak = deliver_;
        if (display_) {
            glib::GMainContextRef context(g_main_context_ref_thread_default());
            sleepWatch_ = display_->watchSleep(context.get(), [weak](bool asleep) {
                if (auto deliver = weak.lock())
                    (*deliver)(asleep ? ScreenNotification::ScreensDidSleep
                                      : ScreenNotification::ScreensDidWake);
            });
        }
        GDBusConnection* bus = sessionBus();
        if (bus == nullptr) return;
        for (const auto& saver : screenSavers) {
            signalIds_.push_back(g_dbus_connection_signal_subscribe(
                bus, saver.name, saver.interface, "ActiveChanged", saver.path, nullptr,
                G_DBUS_SIGNAL_FLAGS_NONE, &LinuxSession::activeChanged,
                new std::weak_ptr<Deliver>(weak),
                [](gpointer data) { delete static_cast<std::weak_ptr<Deliver>*>(data); }));
        }
    }

private:
    static void activeChanged(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                              const gchar*, GVariant* parameters, gpointer data) {
        if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(b)"))) return;
        gboolean active = FALSE;
        g_variant_get(parameters, "(b)", &active);
        if (auto deliver = static_cast<std::weak_ptr<Deliver>*>(data)->lock())
            (*deliver)(active ? ScreenNotification::ScreenIsLocked
                              : ScreenNotification::ScreenIsUnlocked);
    }

    void unsubscribe() {
        if (sessionBus_)
            for (guint id : signalIds_)
                g_dbus_connection_signal_unsubscribe(sessionBus_.get(), id);
        signalIds_.clear();
        sleepWatch_.reset();
        deliver_.reset();
    }

    // The session bus, connected when first needed. A bus that closed is not replaced while
    // signals are subscribed on it.
    GDBusConnection* sessionBus() {
        std::call_once(sessionBusTried_, [this] { sessionBus_ = dbus::connectSessionBus(); });
        return sessionBus_.get();
    }

    GDBusConnection* systemBus() {
        std::call_once(systemBusTried_, [this] { systemBus_ = dbus::connectSystemBus(); });
        return systemBus_.get();
    }

    // What the screen savers and logind say, with both buses asked together: first every
    // saver and the login session this process is in, then that session's state.
    struct Facts {
        std::optional<bool> saverActive; // any saver active; nothing when none answered
        LogindFacts login;
    };
    Facts facts() {
        GDBusConnection* session = sessionBus();
        GDBusConnection* system = systemBus();
        constexpr const char* kLogin = "org.freedesktop.login1";

        std::vector<dbus::Call> first;
        for (const auto& saver : screenSavers)
            first.push_back({session, saver.name, saver.path, saver.interface, "GetActive", "(b)"});
        first.push_back({system, kLogin, "/org/freedesktop/login1",
                         "org.freedesktop.login1.Manager", "GetSessionByPID", "(o)",
                         g_variant_new("(u)", static_cast<guint32>(::getpid()))});
        const auto replies = dbus::callTogether(first);

        Facts facts;
        for (std::size_t i = 0; i < std::size(screenSavers); ++i) {
            if (!replies[i]) continue;
            gboolean active = FALSE;
            g_variant_get(replies[i].get(), "(b)", &active);
            facts.saverActive = facts.saverActive.value_or(false) || active;
        }
        const gchar* path = nullptr;
        if (const auto& found = replies.back()) g_variant_get(found.get(), "(&o)", &path);
        if (path == nullptr) return facts;

        std::vector<dbus::Call> second;
        for (const char* name : {"Active", "LockedHint"})
            second.push_back({system, kLogin, path, "org.freedesktop.DBus.Properties", "Get", "(v)",
                              g_variant_new("(ss)", "org.freedesktop.login1.Session", name)});
        const auto state = dbus::callTogether(second);
        facts.login = {dbus::booleanOf(dbus::propertyOfReply(state[0])),
                       dbus::booleanOf(dbus::propertyOfReply(state[1]))};
        return facts;
    }

    BundleIdOfProcess bundleIdOfProcess_;
    std::unique_ptr<DisplayFacts> display_; // null: no display server
    dbus::Connection sessionBus_;
    std::once_flag sessionBusTried_;
    dbus::Connection systemBus_;
    std::once_flag systemBusTried_;
    std::mutex accessibilityMutex_;
    dbus::Connection accessibilityBus_;
    std::shared_ptr<Deliver> deliver_;
    std::unique_ptr<DisplayFacts::Watch> sleepWatch_;
    std::vector<guint> signalIds_;
};

} // namespace

std::unique_ptr<SessionPort> makeLinuxSession(std::unique_ptr<DisplayFacts> display,
                                              BundleIdOfProcess bundleIdOfProcess) {
    return std::make_unique<LinuxSession>(std::move(display), std::move(bundleIdOfProcess));
}

} // namespace host::platform::linux_desktop
