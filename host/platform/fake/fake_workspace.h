#pragma once
// Running applications of the in-memory desktop, by bundle identifier.

#include "host/platform/workspace_port.h"

#include <map>

namespace host::platform::fake {

class FakeWorkspace : public platform::WorkspacePort {
public:
    std::map<std::string, std::vector<platform::RunningApplication>> running;

    std::vector<platform::RunningApplication>
    runningApplications(const std::string& bundleId) override;
};

} // namespace host::platform::fake
