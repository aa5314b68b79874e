#include "host/platform/linux/bundles/linux_workspace_port.h"

#include "common/unique_handle.h"

#include <algorithm>
#include <charconv>
#include <dirent.h>
#include <map>
#include <memory>

#include "host/platform/linux/bundles/info_plist.h"
#include "host/platform/linux/bundles/process_bundle.h"

namespace host::bundles {
namespace {

std::vector<std::int32_t> processIds() {
    std::vector<std::int32_t> pids;
    common::Owned<DIR, ::closedir> proc(::opendir("/proc"));
    if (!proc) return pids;
    while (const dirent* entry = ::readdir(proc.get())) {
        std::string_view name(entry->d_name);
        std::int32_t pid = 0;
        auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), pid);
        if (error == std::errc() && end == name.data() + name.size() && pid > 0)
            pids.push_back(pid);
    }
    std::sort(pids.begin(), pids.end());
    return pids;
}

} // namespace

std::vector<platform::RunningApplication>
LinuxWorkspacePort::runningApplications(const std::string& bundleId) {
    std::vector<platform::RunningApplication> found;
    // Many processes may share one bundle: read each Info.plist once per call.
    std::map<std::string, std::optional<std::string>> identifiers;
    for (std::int32_t pid : processIds()) {
        // Most processes run from no bundle: the link alone rules them out.
        auto link = executableLink(pid);
        if (!link || !bundleOfExecutable(*link)) continue;
        auto executable = processExecutable(pid, std::move(*link));
        if (!executable) continue;
        auto bundle = bundleOfExecutable(executable->path);
        if (!bundle) continue;
        auto known = identifiers.find(*bundle);
        if (known == identifiers.end()) {
            PlistPtr info = readInfoPlist(*bundle);
            auto identifier = info ? dictString(info.get(), "CFBundleIdentifier") : std::nullopt;
            known = identifiers.emplace(*bundle, std::move(identifier)).first;
        }
        if (known->second == bundleId)
            found.push_back(platform::RunningApplication{pid, std::move(executable->path)});
    }
    return found;
}

} // namespace host::bundles
