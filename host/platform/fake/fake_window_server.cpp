#include "host/platform/fake/fake_window_server.h"

namespace host::platform::fake {

std::optional<std::vector<platform::WindowInfo>>
FakeWindowServer::windowList(platform::WindowListKind kind) {
    requests.push_back(kind);
    if (throwing) throw std::runtime_error("window server unavailable");
    if (!windows || missing.contains(kind)) return std::nullopt;
    auto list = *windows;
    if (kind == platform::WindowListKind::OnScreen)
        list.insert(list.end(), desktopElements.begin(), desktopElements.end());
    return list;
}

} // namespace host::platform::fake
