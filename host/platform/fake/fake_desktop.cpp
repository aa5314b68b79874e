#include "host/platform/fake/fake_desktop.h"

#include <algorithm>
#include <filesystem>

namespace host::platform::fake {

std::string FakeAppSpec::requirement() const {
    if (team)
        return "identifier \"" + bundleId + "\" and certificate leaf[subject.OU] = \"" + *team +
               "\"";
    return "identifier \"" + bundleId + "\"";
}

std::string FakeAppSpec::executable() const {
    return location + "/Contents/MacOS/" + std::filesystem::path(location).stem().string();
}

FakeDesktop::FakeDesktop()
    : platform_{session, bundles,       codeSigning, workspace, windowServer,
                capture, accessibility, events,      clock,     uuids} {}

void FakeDesktop::installApp(const FakeAppSpec& app) {
    bundles.bundles[app.location] = {app.bundleId, app.executable(), {{"CFBundleName", app.name}}};
    // The first bytes of a PNG, enough for tests to recognise what was encoded.
    bundles.iconsPng[app.location] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    codeSigning.signatures[app.location] =
        FakeSignature{true, true, SigningInformation{app.bundleId, app.team}, app.requirement()};
}

void FakeDesktop::launch(const FakeAppSpec& app, std::int32_t pid) {
    workspace.running[app.bundleId].push_back({pid, app.executable()});
    codeSigning.processes[pid] = FakeProcessCode{true, true, app.requirement()};
}

void FakeDesktop::addWindow(std::int32_t pid, std::uint32_t number, Rect bounds,
                            std::optional<std::string> title) {
    windowServer.windows->push_back(WindowInfo{pid, number, 0, bounds, std::move(title), 1.0});
    capture.content->push_back(ShareableWindow{number, pid});
}

NodePtr FakeDesktop::focus(std::int32_t pid, Rect bounds) {
    session.frontmost = FrontmostApplication{pid, std::nullopt};
    auto window = FakeNode::make(pid);
    window->set("AXPosition", Point{bounds.x, bounds.y});
    window->set("AXSize", Size{bounds.width, bounds.height});
    auto& application = accessibility.applications[pid];
    if (!application) application = FakeNode::make(pid);
    application->set("AXFocusedWindow", window);
    return window;
}

void FakeDesktop::closeWindow(std::uint32_t number) {
    if (windowServer.windows)
        std::erase_if(*windowServer.windows,
                      [&](const WindowInfo& w) { return w.number == std::int64_t{number}; });
    if (capture.content)
        std::erase_if(*capture.content,
                      [&](const ShareableWindow& w) { return w.windowId == number; });
}

} // namespace host::platform::fake
