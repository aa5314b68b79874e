#include "desktop_probe.h"

#include "host/platform/backend.h"
#include "host/platform/linux/glib/dbus.h"
#include "host/platform/linux/gnome/shell_windows.h"
#include "host/platform/linux/x11/properties.h"
#include "host/platform/linux/x11/x_connection.h"

#include <xcb/xcb.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <future>
#include <sstream>

namespace doctor {
namespace {

namespace dbus = host::platform::linux_desktop::dbus;
namespace x11 = host::platform::x11;
using common::Json;

xcb_atom_t intern(const x11::XConnection& x, const char* name) {
    xcb_connection_t* c = x.get();
    x11::Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 1, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : XCB_NONE;
}

Json displayFacts() {
    const char* name = std::getenv("DISPLAY");
    Json facts{{"name", name != nullptr ? name : ""}};
    auto x = x11::XConnection::open(x11::XConnection::Capture::Without);
    facts["reached"] = x != nullptr;
    if (!x) return facts;
    facts["composite"] = x->hasComposite();
    facts["shm"] = x->hasShm();
    facts["xres"] = x->hasClientIds();
    // An EWMH window manager names itself on the window _NET_SUPPORTING_WM_CHECK points to.
    const auto check =
        x11::cardinal(*x, x->root(), intern(*x, "_NET_SUPPORTING_WM_CHECK"), XCB_ATOM_WINDOW);
    facts["windowManager"] = nullptr;
    if (check) {
        xcb_connection_t* c = x->get();
        const xcb_atom_t netName = intern(*x, "_NET_WM_NAME");
        const auto name =
            x11::text(x11::valueOf(x11::takeWhole(c, *check, netName,
                                                  x11::askProperty(c, *check, netName, 64))),
                      x->atoms());
        facts["windowManager"] = name.value_or("unnamed");
    }
    xcb_connection_t* c = x->get();
    x11::Reply<xcb_get_selection_owner_reply_t> owner(xcb_get_selection_owner_reply(
        c, xcb_get_selection_owner(c, x->atoms().compositingManager), nullptr));
    facts["compositingManager"] = owner && owner->owner != XCB_NONE;
    return facts;
}

// A GNOME Wayland session: the Shell, the host's extension in it, and Mutter's services.
Json gnomeFacts() {
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    Json facts{{"wayland", wayland != nullptr ? wayland : ""},
               {"shell", false},
               {"extension", false},
               {"screenCast", false},
               {"remoteDesktop", false}};
    if (wayland == nullptr || *wayland == '\0') return facts;
    auto bus = dbus::connectSessionBus();
    const auto answers = [&](const char* name, const char* path) {
        return dbus::call(bus.get(), name, path, "org.freedesktop.DBus.Peer", "Ping", nullptr,
                          "()") != nullptr;
    };
    facts["shell"] = answers("org.gnome.Shell", "/org/gnome/Shell");
    facts["extension"] = host::platform::gnome::askShell(bus.get()).has_value();
    facts["screenCast"] = answers("org.gnome.Mutter.ScreenCast", "/org/gnome/Mutter/ScreenCast");
    facts["remoteDesktop"] =
        answers("org.gnome.Mutter.RemoteDesktop", "/org/gnome/Mutter/RemoteDesktop");
    return facts;
}

Json busFacts() {
    Json facts;
    auto session = dbus::connectSessionBus();
    facts["sessionBus"] = session != nullptr;
    facts["accessibilityBus"] = false;
    facts["registry"] = false;
    facts["screenSavers"] = Json::object();
    if (session) {
        dbus::Variant reply = dbus::call(session.get(), "org.a11y.Bus", "/org/a11y/bus",
                                         "org.a11y.Bus", "GetAddress", nullptr, "(s)", true);
        if (reply) {
            const gchar* address = nullptr;
            g_variant_get(reply.get(), "(&s)", &address);
            auto bus = dbus::connectAddress(address);
            facts["accessibilityBus"] = bus != nullptr;
            dbus::Variant owned = dbus::call(
                bus.get(), "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                "NameHasOwner", g_variant_new("(s)", "org.a11y.atspi.Registry"), "(b)");
            gboolean has = FALSE;
            if (owned) g_variant_get(owned.get(), "(b)", &has);
            facts["registry"] = has != FALSE;
        }
        for (const auto& [name, path] :
             {std::pair{"org.freedesktop.ScreenSaver", "/org/freedesktop/ScreenSaver"},
              std::pair{"org.gnome.ScreenSaver", "/org/gnome/ScreenSaver"}}) {
            dbus::Variant active =
                dbus::call(session.get(), name, path, name, "GetActive", nullptr, "(b)");
            if (!active) {
                facts["screenSavers"][name] = nullptr;
                continue;
            }
            gboolean on = FALSE;
            g_variant_get(active.get(), "(b)", &on);
            facts["screenSavers"][name] = on != FALSE;
        }
    }
    facts["systemBus"] = dbus::connectSystemBus() != nullptr;
    return facts;
}

// The host's own view, through the backend it would choose, with a capture of the
// frontmost application's window.
Json hostFacts() {
    auto backend = host::platform::openBackend();
    auto& platform = backend->platform();
    const auto session = platform.session.session();
    Json facts{{"session", session.has_value()},
               {"onConsole", session && session->onConsole.value_or(false)},
               {"locked", session && session->screenIsLocked.value_or(false)},
               {"screen", platform.session.screenCaptureAllowed()},
               {"accessibility", platform.session.accessibilityTrusted()},
               {"frontmost", nullptr},
               {"capture", nullptr}};
    const auto front = platform.session.frontmostApplication();
    if (!front) return facts;
    facts["frontmost"] = {{"pid", front->pid}, {"bundleId", front->bundleId.value_or("")}};
    const auto list = platform.windowServer.windowList(
        host::platform::WindowListKind::OnScreenExcludingDesktopElements);
    for (const auto& window : list.value_or(std::vector<host::platform::WindowInfo>{})) {
        if (window.ownerPid != front->pid || window.layer != 0 || !window.number || !window.bounds)
            continue;
        const int width = std::max(1, static_cast<int>(std::min(window.bounds->width, 1280.0)));
        const int height = std::max(1, static_cast<int>(std::min(window.bounds->height, 1280.0)));
        // Shared: a capture that completes after the wait has been given up still finds it.
        auto captured = std::make_shared<std::promise<bool>>();
        auto done = captured->get_future();
        platform.capture.captureWindow(
            static_cast<std::uint32_t>(*window.number), width, height,
            [captured](auto image) { captured->set_value(image.has_value()); });
        const bool ok =
            done.wait_for(std::chrono::seconds(5)) == std::future_status::ready && done.get();
        facts["capture"] = {
            {"windowId", *window.number}, {"title", window.name.value_or("")}, {"ok", ok}};
        break;
    }
    return facts;
}

void refuse(Json& verdict, const char* code, const std::string& reason) {
    verdict.push_back({{"code", code}, {"reason", reason}});
}

Json verdictOf(const Json& display, const Json& gnome, const Json& buses, const Json& host) {
    Json verdict = Json::array();
    if (gnome["shell"].get<bool>()) {
        if (!host["onConsole"].get<bool>())
            refuse(verdict, "mac_locked", "the session is not the one on this machine's console");
        else if (host["locked"].get<bool>())
            refuse(verdict, "mac_locked", "the screen is locked");
        else if (!gnome["extension"].get<bool>())
            refuse(verdict, "screen_permission_required",
                   "the Shell extension skelmor@tarnwick does not answer: enable it with "
                   "\"gnome-extensions enable skelmor@tarnwick\", then log out and in");
        else if (!gnome["screenCast"].get<bool>())
            refuse(verdict, "screen_permission_required",
                   "Mutter's ScreenCast does not answer, so a window cannot be captured");
    } else if (!display["reached"].get<bool>())
        refuse(verdict, "mac_locked",
               "no X display is reached (DISPLAY is \"" + display["name"].get<std::string>() +
                   "\"): there is no session to show windows on");
    else if (!host["onConsole"].get<bool>())
        refuse(verdict, "mac_locked", "the session is not the one on this machine's console");
    else if (host["locked"].get<bool>())
        refuse(verdict, "mac_locked", "the screen is locked");
    else if (!display["composite"].get<bool>())
        refuse(verdict, "screen_permission_required",
               "the display lacks Composite, so a window cannot be captured by itself");
    if (!host["accessibility"].get<bool>())
        refuse(verdict, "accessibility_permission_required",
               buses["sessionBus"].get<bool>()
                   ? "the accessibility bus is not reached (ask with the permission method)"
                   : "there is no session bus, so no accessibility bus either");
    if (host["capture"].is_object() && !host["capture"]["ok"].get<bool>())
        refuse(verdict, "engine_failed", "a test capture of the frontmost window failed");
    return verdict;
}

std::string yesNo(const Json& value) {
    return value.is_boolean() && value.get<bool>() ? "yes" : "no";
}

} // namespace

Json probeDesktop() {
    Json facts;
    facts["display"] = displayFacts();
    facts["gnome"] = gnomeFacts();
    facts["buses"] = busFacts();
    facts["host"] = hostFacts();
    facts["verdict"] = verdictOf(facts["display"], facts["gnome"], facts["buses"], facts["host"]);
    return facts;
}

std::string describe(const Json& facts) {
    std::ostringstream out;
    const auto& d = facts["display"];
    if (!d["reached"].get<bool>()) {
        out << "display:       not reached (DISPLAY=\"" << d["name"].get<std::string>() << "\")\n";
    } else {
        out << "display:       " << d["name"].get<std::string>() << " reached\n"
            << "  Composite:   " << yesNo(d["composite"]) << " (a window captured by itself)\n"
            << "  MIT-SHM:     " << yesNo(d["shm"]) << " (fast captures)\n"
            << "  X-Resource:  " << yesNo(d["xres"]) << " (which process owns a window)\n"
            << "  window manager: "
            << (d["windowManager"].is_string() ? d["windowManager"].get<std::string>() : "none")
            << "\n"
            << "  compositing manager: " << yesNo(d["compositingManager"])
            << (d["compositingManager"].get<bool>() ? "" : " (window opacity is not drawn)")
            << "\n";
    }
    if (const auto& g = facts["gnome"]; g["shell"].get<bool>())
        out << "GNOME Shell:   on Wayland " << g["wayland"].get<std::string>() << "\n"
            << "  extension:   " << yesNo(g["extension"]) << " (the windows on the screen)\n"
            << "  ScreenCast:  " << yesNo(g["screenCast"]) << " (a window captured by itself)\n"
            << "  RemoteDesktop: " << yesNo(g["remoteDesktop"]) << " (Tab)\n";
    const auto& b = facts["buses"];
    out << "session bus:   " << yesNo(b["sessionBus"]) << "\n"
        << "accessibility: bus " << yesNo(b["accessibilityBus"]) << ", registry "
        << yesNo(b["registry"]) << "\n";
    for (const auto& [name, state] : b["screenSavers"].items())
        out << "screen saver:  " << name << ": "
            << (state.is_null()     ? "not running"
                : state.get<bool>() ? "active (locked)"
                                    : "inactive")
            << "\n";
    out << "system bus:    " << yesNo(b["systemBus"])
        << (b["systemBus"].get<bool>() ? "" : " (no logind)") << "\n";
    const auto& h = facts["host"];
    out << "host sees:     session " << yesNo(h["session"]) << ", on console "
        << yesNo(h["onConsole"]) << ", locked " << yesNo(h["locked"]) << ", screen "
        << yesNo(h["screen"]) << ", accessibility " << yesNo(h["accessibility"]) << "\n";
    if (h["frontmost"].is_object())
        out << "frontmost:     pid " << h["frontmost"]["pid"] << " ("
            << h["frontmost"]["bundleId"].get<std::string>() << ")\n";
    else
        out << "frontmost:     none\n";
    if (h["capture"].is_object())
        out << "test capture:  window " << h["capture"]["windowId"] << " \""
            << h["capture"]["title"].get<std::string>()
            << "\": " << (h["capture"]["ok"].get<bool>() ? "ok" : "failed") << "\n";
    if (facts["verdict"].empty()) {
        out << "verdict:       the host can see and operate the screen\n";
    } else {
        for (const auto& refusal : facts["verdict"])
            out << "verdict:       " << refusal["code"].get<std::string>() << ": "
                << refusal["reason"].get<std::string>() << "\n";
    }
    return out.str();
}

} // namespace doctor
