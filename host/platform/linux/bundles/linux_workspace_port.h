#pragma once
// Running applications, found in /proc: a process belongs to an application when its
// executable lies in a bundle's Contents/MacOS/ and that bundle's Info.plist declares the
// application's identifier.

#include "host/platform/workspace_port.h"

namespace host::bundles {

class LinuxWorkspacePort final : public platform::WorkspacePort {
public:
    // In ascending pid order. `executablePath` is where the process's executable was
    // started from, also when that file has since been replaced on disk.
    std::vector<platform::RunningApplication>
    runningApplications(const std::string& bundleId) override;
};

} // namespace host::bundles
