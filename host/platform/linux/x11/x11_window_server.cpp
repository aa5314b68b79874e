#include "host/platform/linux/x11/x11_window_server.h"

#include "host/platform/linux/x11/window_tree.h"

namespace host::platform::x11 {

std::optional<std::vector<WindowInfo>> X11WindowServer::windowList(WindowListKind kind) {
    const auto x = link_->current();
    if (!x) return std::nullopt;
    auto tops = topLevels(*x);
    if (!tops) return std::nullopt;
    std::vector<WindowInfo> list;
    list.reserve(tops->size());
    for (TopLevel& top : *tops) {
        if (kind == WindowListKind::OnScreenExcludingDesktopElements && top.desktop) continue;
        list.push_back(std::move(top.info));
    }
    return list;
}

} // namespace host::platform::x11
