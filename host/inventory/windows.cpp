#include "host/inventory/windows.h"

#include "common/graphemes.h"
#include "host/base/host_error.h"
#include "host/base/params.h"
#include "host/inventory/identity.h"
#include "host/inventory/resolved_path.h"
#include "host/inventory/window_fields.h"
#include "host/session/host.h"

#include <array>
#include <unordered_set>

namespace host {
namespace {

constexpr std::size_t kTitleLimit = 120;
constexpr double kMinimumWidth = 80;  // exclusive
constexpr double kMinimumHeight = 60; // exclusive

// The processes of running instances whose executable is the bundle's and whose live code
// is valid and satisfies the bundle's designated requirement.
std::unordered_set<std::int32_t> eligibleProcesses(platform::Platform& platform,
                                                   const PinnedIdentity& fresh) {
    const auto& executable = fresh.executable;
    auto running = platform.workspace.runningApplications(fresh.bundleId);
    auto requirement = platform.codeSigning.compileRequirement(fresh.requirement);
    if (!requirement) fail(ErrorCode::AppChanged);

    std::unordered_set<std::int32_t> eligible;
    for (const auto& application : running) {
        if (!application.executablePath) continue;
        if (resolvedPath(*application.executablePath) != executable) continue;
        auto live = platform.codeSigning.liveCode(application.pid);
        if (!live) continue;
        if (!platform.codeSigning.checkLiveValidity(*live, *requirement)) continue;
        eligible.insert(application.pid);
    }
    return eligible;
}

// The window for an entry that passes every filter, in order; nothing otherwise.
std::optional<ListedWindow> listedWindow(const platform::WindowInfo& info,
                                         const std::unordered_set<std::int32_t>& eligible) {
    auto pid = asPid(info.ownerPid);
    if (!pid || !eligible.contains(*pid)) return std::nullopt;
    auto number = asWindowNumber(info.number);
    if (!number) return std::nullopt;
    if (info.layer != 0) return std::nullopt;
    if (!info.bounds) return std::nullopt;
    const auto bounds = standardised(*info.bounds);
    if (!(bounds.width > kMinimumWidth && bounds.height > kMinimumHeight)) return std::nullopt;

    const std::string title = info.name ? *info.name : "";
    return ListedWindow{*number, *pid, std::string(common::firstGraphemes(title, kTitleLimit)),
                        bounds};
}

// Recomputes the identity, insists it is the one the client holds, then checks each running
// instance.
std::unordered_set<std::int32_t> checkedProcesses(platform::Platform& platform,
                                                  const common::Json& app) {
    const auto fresh = pinnedIdentity(platform, params::string(app, "path").value_or(""));
    const std::pair<const char*, const std::string*> pinned[] = {
        {"bundleId", &fresh.bundleId},       {"signedId", &fresh.signedId},
        {"teamId", &fresh.teamId},           {"executable", &fresh.executable},
        {"requirement", &fresh.requirement},
    };
    for (const auto& [member, value] : pinned) {
        // An absent member never matches, not even a fresh "" team.
        if (params::string(app, member) != *value) fail(ErrorCode::AppChanged);
    }
    return eligibleProcesses(platform, fresh);
}

} // namespace

std::vector<ListedWindow> windows(Host& host, platform::Platform& platform,
                                  const common::Json& app) {
    // The bundle's checks and the window list need nothing from the screen gate: they are
    // asked beside it, and their answers taken after it has passed, in that order.
    auto eligible = platform::ask(platform.sideQueries,
                                  [&platform, &app] { return checkedProcesses(platform, app); });
    auto list = platform::ask(platform.sideQueries, [&platform] {
        return platform.windowServer.windowList(
            platform::WindowListKind::OnScreenExcludingDesktopElements);
    });
    host.requireScreen();
    const auto processes = eligible.get();
    const auto listed = list.get();

    std::vector<ListedWindow> result;
    if (!listed) return result;
    for (const auto& info : *listed)
        if (auto window = listedWindow(info, processes)) result.push_back(std::move(*window));
    return result;
}

common::Json windowObject(const ListedWindow& window) {
    const auto& b = window.bounds;
    return common::Json{
        {"title", window.title},
        {"windowId", window.windowId},
        {"pid", window.pid},
        {"bounds", {{"x", b.x}, {"y", b.y}, {"width", b.width}, {"height", b.height}}},
    };
}

} // namespace host
