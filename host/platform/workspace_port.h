#pragma once
// Running applications.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace host::platform {

struct RunningApplication {
    std::int32_t pid = 0;
    // Absolute path of the running executable as the workspace reports it (links not resolved).
    std::optional<std::string> executablePath;
};

class WorkspacePort {
public:
    virtual ~WorkspacePort() = default;
    // The running applications whose bundle declares `bundleId`, possibly none.
    virtual std::vector<RunningApplication> runningApplications(const std::string& bundleId) = 0;
};

} // namespace host::platform
