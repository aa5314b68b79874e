#include "host/platform/linux/linux_platform.h"

#include "host/platform/linux/inert_services.h"

#if HAVE_HOST_LINUX_SESSION
#include "host/platform/linux/session/linux_session.h"
#endif
#if HAVE_HOST_LINUX_DESKTOP
#include "host/platform/linux/desktop/desktop_ports.h"
#endif
#if HAVE_HOST_LINUX_BUNDLES
#include "host/platform/linux/bundles/linux_bundle_port.h"
#include "host/platform/linux/bundles/linux_code_signing_port.h"
#include "host/platform/linux/bundles/linux_workspace_port.h"
#include "host/platform/linux/bundles/process_bundle.h"
#endif
#if HAVE_HOST_LINUX_ACCESSIBILITY
#include "host/platform/linux/accessibility/atspi_accessibility.h"
#endif

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// Each family of services comes from its adapter when this build has it, otherwise from an
// inert stand-in. An adapter replaces its stand-in in the one function that makes it.
namespace host::platform::linux_desktop {
namespace {

// The bundle identifier of the application a process runs from, if any.
[[maybe_unused]] std::function<std::optional<std::string>(std::int32_t)>
bundleIdentifierOfProcess() {
#if HAVE_HOST_LINUX_BUNDLES
    return &host::bundles::bundleIdentifierOfProcess;
#else
    return [](std::int32_t) -> std::optional<std::string> { return std::nullopt; };
#endif
}

std::unique_ptr<SessionPort> makeSession() {
#if HAVE_HOST_LINUX_SESSION
    return makeLinuxSession(bundleIdentifierOfProcess());
#else
    return std::make_unique<InertSession>();
#endif
}

std::unique_ptr<BundlePort> makeBundles() {
#if HAVE_HOST_LINUX_BUNDLES
    return std::make_unique<host::bundles::LinuxBundlePort>();
#else
    return std::make_unique<InertBundles>();
#endif
}

std::unique_ptr<CodeSigningPort> makeCodeSigning() {
#if HAVE_HOST_LINUX_BUNDLES
    return std::make_unique<host::bundles::LinuxCodeSigningPort>();
#else
    return std::make_unique<InertCodeSigning>();
#endif
}

std::unique_ptr<WorkspacePort> makeWorkspace() {
#if HAVE_HOST_LINUX_BUNDLES
    return std::make_unique<host::bundles::LinuxWorkspacePort>();
#else
    return std::make_unique<InertWorkspace>();
#endif
}

std::unique_ptr<WindowServerPort> makeWindowServer() {
#if HAVE_HOST_LINUX_DESKTOP
    return x11::makeWindowServer();
#else
    return std::make_unique<InertWindowServer>();
#endif
}

std::unique_ptr<CapturePort> makeCapture() {
#if HAVE_HOST_LINUX_DESKTOP
    return x11::makeCapture();
#else
    return std::make_unique<InertCapture>();
#endif
}

// The hit test of the accessibility adapter asks the window server which window is in front.
std::unique_ptr<AccessibilityPort> makeAccessibility([[maybe_unused]] WindowServerPort& windows) {
#if HAVE_HOST_LINUX_ACCESSIBILITY
    return std::make_unique<linux_atspi::AtspiAccessibility>(windows);
#else
    return std::make_unique<InertAccessibility>();
#endif
}

std::unique_ptr<EventPort> makeEvents() {
#if HAVE_HOST_LINUX_DESKTOP
    return x11::makeEvents();
#else
    return std::make_unique<InertEvents>();
#endif
}

class Desktop : public LinuxPlatform {
public:
    Platform& platform() override { return platform_; }

private:
    std::unique_ptr<SessionPort> session_ = makeSession();
    std::unique_ptr<BundlePort> bundles_ = makeBundles();
    std::unique_ptr<CodeSigningPort> codeSigning_ = makeCodeSigning();
    std::unique_ptr<WorkspacePort> workspace_ = makeWorkspace();
    std::unique_ptr<WindowServerPort> windowServer_ = makeWindowServer();
    std::unique_ptr<CapturePort> capture_ = makeCapture();
    std::unique_ptr<AccessibilityPort> accessibility_ = makeAccessibility(*windowServer_);
    std::unique_ptr<EventPort> events_ = makeEvents();
    SystemClock clock_;
    RandomUuids uuids_;
    Platform platform_{*session_, *bundles_,       *codeSigning_, *workspace_, *windowServer_,
                       *capture_, *accessibility_, *events_,      clock_,      uuids_};
};

} // namespace

std::unique_ptr<LinuxPlatform> makeLinuxPlatform() {
    return std::make_unique<Desktop>();
}

} // namespace host::platform::linux_desktop
