// The Linux platform: which desktop backend serves is decided here, at start, by the
// desktop the process finds, the way desktop programs find it.
//
// - GNOME Wayland when WAYLAND_DISPLAY is set and GNOME Shell answers on the session bus
//   (XWayland's DISPLAY there shows only the few X11 clients);
// - X11 when DISPLAY reaches an X server;
// - otherwise the session-less desktop: no display server, so no session, no windows and
//   no captures, while bundles and seals still answer.

#include "host/platform/absent_ports.h"
#include "host/platform/backend.h"
#include "host/platform/linux/accessibility/atspi_accessibility.h"
#include "host/platform/linux/bundles/linux_bundle_port.h"
#include "host/platform/linux/bundles/linux_code_signing_port.h"
#include "host/platform/linux/bundles/linux_workspace_port.h"
#include "host/platform/linux/bundles/process_bundle.h"
#include "host/platform/linux/display_server.h"
#include "host/platform/linux/glib/glib_main_loop.h"
#include "host/platform/linux/glib/quiet_logs.h"
#include "host/platform/linux/gnome/gnome_desktop.h"
#include "host/platform/linux/session/linux_session.h"
#include "host/platform/linux/system_clock.h"
#include "host/platform/linux/x11/x11_desktop.h"

#include <utility>

namespace host::platform {
namespace {

using namespace linux_desktop;

// A desktop without a display server.
DisplayServer sessionless() {
    return {std::make_unique<NoWindowServer>(), std::make_unique<NoCapture>(),
            std::make_unique<NoEvents>(), nullptr, nullptr};
}

DisplayServer findDisplayServer() {
    if (auto gnome = gnome::openGnomeDesktop()) return std::move(*gnome);
    if (auto x11 = x11::openX11Desktop()) return std::move(*x11);
    return sessionless();
}

class LinuxBackend final : public Backend {
public:
    explicit LinuxBackend(DisplayServer server)
        : display_(std::move(server)),
          session_(
              makeLinuxSession(std::move(display_.facts), &bundles::bundleIdentifierOfProcess)),
          accessibility_(*display_.windowServer, display_.placement.get()) {}

    Platform& platform() override { return platform_; }
    MainLoop& mainLoop() override { return loop_; }

private:
    // First, so that it goes last: the ports may still post into it as they go.
    GlibMainLoop loop_;
    DisplayServer display_;
    std::unique_ptr<SessionPort> session_;
    bundles::LinuxBundlePort bundles_;
    bundles::LinuxCodeSigningPort codeSigning_;
    bundles::LinuxWorkspacePort workspace_;
    // The hit test asks the window server which window is in front.
    linux_atspi::AtspiAccessibility accessibility_;
    SystemClock clock_;
    RandomUuids uuids_;
    Platform platform_{
        *session_,          bundles_,       codeSigning_,     workspace_, *display_.windowServer,
        *display_.capture,  accessibility_, *display_.events, clock_,     uuids_,
        SideQueries::AtOnce};
};

} // namespace

std::unique_ptr<Backend> openBackend() {
    glib::dropLibraryMessages();
    return std::make_unique<LinuxBackend>(findDisplayServer());
}

} // namespace host::platform
