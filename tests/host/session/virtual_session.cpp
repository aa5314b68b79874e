#include "tests/host/session/virtual_session.h"

#include "host/platform/linux/glib/glib_handles.h"

#include <gio/gio.h>

#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

namespace host::testing {
namespace {

constexpr const char* busConfig = R"(<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=/tmp</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

std::string trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

using Variant = host::platform::glib::GVariantRef;

Variant callOn(const std::string& address, const char* destination, const char* path,
               const char* interface, const char* method, GVariant* parameters) {
    host::platform::glib::GObjectRef<GDBusConnection> bus(g_dbus_connection_new_for_address_sync(
        address.c_str(),
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, nullptr));
    if (!bus) return nullptr;
    return Variant(g_dbus_connection_call_sync(bus.get(), destination, path, interface, method,
                                               parameters, nullptr, G_DBUS_CALL_FLAGS_NONE, 5000,
                                               nullptr, nullptr));
}

} // namespace

bool VirtualSession::available() {
    return ::access("/usr/bin/Xvfb", X_OK) == 0 && ::access("/usr/bin/dbus-daemon", X_OK) == 0;
}

std::unique_ptr<VirtualSession> VirtualSession::start() {
    if (!available()) return nullptr;
    std::unique_ptr<VirtualSession> session(new VirtualSession);
    char pattern[] = "/tmp/core-session-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) return nullptr;
    session->directory_ = pattern;
    const std::vector<std::string> base{"PATH=/usr/bin:/bin", "HOME=" + session->directory_};

    if (!session->startDisplay(std::nullopt)) return nullptr;

    const std::string config = session->directory_ + "/bus.conf";
    std::ofstream(config) << busConfig;
    session->bus_ = std::make_unique<Process>(
        std::vector<std::string>{"/usr/bin/dbus-daemon", "--config-file=" + config, "--nofork",
                                 "--print-address=1"},
        base);
    const auto address = session->bus_->readLine(std::chrono::seconds(20));
    if (!address) return nullptr;
    session->busAddress_ = trimmed(*address);

    auto env = base;
    env.push_back("DBUS_SESSION_BUS_ADDRESS=" + session->busAddress_);
    session->services_ = std::make_unique<Process>(
        std::vector<std::string>{"/usr/bin/python3", FAKE_SCREENSAVER_PATH}, env);
    if (session->services_->readLine(std::chrono::seconds(20)) != "ready\n") return nullptr;
    return session;
}

bool VirtualSession::startDisplay(std::optional<std::string> display) {
    const std::vector<std::string> base{"PATH=/usr/bin:/bin", "HOME=" + directory_};
    // Xvfb names its display once it accepts connections; without one asked, it picks a
    // free one itself.
    std::vector<std::string> command{
        "/usr/bin/Xvfb", "-displayfd", "1",          "-screen",   "0",       "640x480x24",
        "-nolisten",     "tcp",        "+extension", "COMPOSITE", "-noreset"};
    if (display) command.insert(command.begin() + 1, *display);
    xvfb_ = std::make_unique<Process>(command, base);
    const auto number = xvfb_->readLine(std::chrono::seconds(20));
    if (!number) return false;
    std::string name = trimmed(*number);
    name.insert(name.begin(), ':');
    display_.swap(name);
    return true;
}

bool VirtualSession::restartDisplay() {
    xvfb_->terminate();
    xvfb_.reset();
    return startDisplay(display_);
}

VirtualSession::~VirtualSession() {
    if (services_) services_->closeInput();
    services_.reset();
    if (bus_) bus_->terminate();
    if (xvfb_) xvfb_->terminate();
    std::error_code ignored;
    if (!directory_.empty()) std::filesystem::remove_all(directory_, ignored);
}

std::vector<std::string> VirtualSession::environment() const {
    return {"PATH=/usr/bin:/bin", "HOME=" + directory_, "DISPLAY=" + display_,
            "DBUS_SESSION_BUS_ADDRESS=" + busAddress_};
}

bool VirtualSession::setScreenSaverActive(bool active) {
    return callOn(busAddress_, "org.freedesktop.ScreenSaver", "/org/freedesktop/ScreenSaver",
                  "org.freedesktop.ScreenSaver", "SetActive",
                  g_variant_new("(b)", active)) != nullptr;
}

std::optional<bool> VirtualSession::accessibilityEnabled() {
    Variant reply =
        callOn(busAddress_, "org.a11y.Bus", "/org/a11y/bus", "org.freedesktop.DBus.Properties",
               "Get", g_variant_new("(ss)", "org.a11y.Status", "IsEnabled"));
    if (!reply) return std::nullopt;
    GVariant* inner = nullptr;
    g_variant_get(reply.get(), "(v)", &inner);
    Variant value(inner);
    if (!g_variant_is_of_type(value.get(), G_VARIANT_TYPE_BOOLEAN)) return std::nullopt;
    return g_variant_get_boolean(value.get()) != FALSE;
}

bool VirtualSession::xset(const std::string& what) {
    Process run({"/usr/bin/xset", "-display", display_, "s", what},
                {"PATH=/usr/bin:/bin", "HOME=" + directory_});
    run.closeInput();
    const int status = run.wait();
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace host::testing
