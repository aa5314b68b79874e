#include "host/platform/fake/fake_workspace.h"

namespace host::platform::fake {

std::vector<platform::RunningApplication>
FakeWorkspace::runningApplications(const std::string& bundleId) {
    auto found = running.find(bundleId);
    if (found == running.end()) return {};
    return found->second;
}

} // namespace host::platform::fake
