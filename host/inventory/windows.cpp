#include "host/inventory/windows.h"

#include "common/graphemes.h"
#include "host/actions/params.h"
#include "host/inventory/identity.h"
#include "host/inventory/resolved_path.h"
#include "host/inventory/window_fields.h"
#include "host/session/host.h"
#include "host/session/host_error.h"

#include <array>
#include <unordered_set>

namespace host {
namespace {

constexpr std::size_t kTitleLimit = 120;
constexpr double kMinimumWidth = 80;  // exclusive
constexpr double kMinimumHeight = 60; // exclusive

// The identity members that pin the application down, in the order they are compared.
constexpr std::array<const char*, 5> kPinnedMembers{"bundleId", "signedId", "teamId", "executable",
                                                    "requirement"};

// The processes of running instances whose executable is the bundle's and whose live code
// is valid and satisfies the bundle's designated requirement.
std::unordered_set<std::int32_t> eligibleProcesses(platform::Platform& platform,
                                                   const common::Json& fresh) {
    const auto& executable = fresh.at("executable").get_ref<const std::string&>();
    auto running = platform.workspace.runningApplications(fresh.at("bundleId").get<std::string>());
    auto requirement =
        platform.codeSigning.compileRequirement(fresh.at("requirement").get<std::string>());
    if (!requirement) throw HostError{"app_changed"};

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

// The window object for an entry that passes every filter, in order; nothing otherwise.
std::optional<common::Json> listedWindow(const platform::WindowInfo& info,
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
    return common::Json{
        {"title", std::string(common::firstGraphemes(title, kTitleLimit))},
        {"windowId", *number},
        {"pid", *pid},
        {"bounds",
         {{"x", bounds.x}, {"y", bounds.y}, {"width", bounds.width}, {"height", bounds.height}}},
    };
}

} // namespace

common::Json windows(Host& host, const common::Json& app) {
    host.requireScreen();
    auto& platform = host.platform();
    const auto fresh = pinnedIdentity(platform, params::string(app, "path").value_or(""));
    for (const char* member : kPinnedMembers) {
        // An absent member never matches, not even a fresh "" team.
        if (params::string(app, member) != fresh.at(member).get<std::string>())
            throw HostError{"app_changed"};
    }
    const auto eligible = eligibleProcesses(platform, fresh);

    auto list = platform.windowServer.windowList(
        platform::WindowListKind::OnScreenExcludingDesktopElements);
    auto result = common::Json::array();
    if (!list) return result;
    for (const auto& info : *list)
        if (auto window = listedWindow(info, eligible)) result.push_back(std::move(*window));
    return result;
}

} // namespace host
