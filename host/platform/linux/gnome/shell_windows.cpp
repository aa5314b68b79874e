#include "host/platform/linux/gnome/shell_windows.h"

#include "host/platform/linux/window_layers.h"

namespace host::platform::gnome {
namespace {

namespace layer = linux_desktop::layer;
using linux_desktop::dbus::Variant;

constexpr const char* kReplyType = "(a(tiub(iiii)(iiii)sd)t)";

Rect rectOf(gint32 x, gint32 y, gint32 width, gint32 height) {
    return Rect{static_cast<double>(x), static_cast<double>(y), static_cast<double>(width),
                static_cast<double>(height)};
}

std::int64_t layerOfType(std::uint32_t type) {
    using T = MetaWindowType;
    switch (static_cast<T>(type)) {
    case T::Normal:
    case T::Dialog:
    case T::ModalDialog:
        return layer::kNormal;
    case T::Desktop:
        return layer::kDesktop;
    case T::Dock:
        return layer::kDock;
    case T::Toolbar:
    case T::Utility:
    case T::Splashscreen:
        return layer::kFloating;
    case T::Menu:
    case T::DropdownMenu:
    case T::PopupMenu:
    case T::Combo:
    case T::Dnd:
    case T::OverrideOther:
        return layer::kMenu;
    case T::Tooltip:
        return layer::kTooltip;
    case T::Notification:
        return layer::kNotification;
    }
    // A type this Mutter does not have yet is no ordinary window.
    return layer::kMenu;
}

} // namespace

std::optional<ShellWindows> decodeShellWindows(GVariant* reply) {
    if (reply == nullptr || !g_variant_is_of_type(reply, G_VARIANT_TYPE(kReplyType)))
        return std::nullopt;
    ShellWindows result;
    Variant list(g_variant_get_child_value(reply, 0));
    g_variant_get_child(reply, 1, "t", &result.focus);
    const gsize count = g_variant_n_children(list.get());
    result.windows.reserve(count);
    for (gsize i = 0; i < count; ++i) {
        ShellWindow w;
        guint64 id = 0;
        gint32 pid = 0;
        guint32 type = 0;
        gboolean overrideRedirect = FALSE;
        gint32 f[4] = {};
        gint32 b[4] = {};
        const gchar* title = nullptr;
        double opacity = 1.0;
        g_variant_get_child(list.get(), i, "(tiub(iiii)(iiii)&sd)", &id, &pid, &type,
                            &overrideRedirect, &f[0], &f[1], &f[2], &f[3], &b[0], &b[1], &b[2],
                            &b[3], &title, &opacity);
        w.id = id;
        w.pid = pid;
        w.type = type;
        w.overrideRedirect = overrideRedirect != FALSE;
        w.frame = rectOf(f[0], f[1], f[2], f[3]);
        w.buffer = rectOf(b[0], b[1], b[2], b[3]);
        w.title = title;
        w.opacity = opacity;
        result.windows.push_back(std::move(w));
    }
    return result;
}

std::uint32_t windowNumber(std::uint64_t id) {
    return static_cast<std::uint32_t>(id);
}

bool isDesktopElement(const ShellWindow& window) {
    return static_cast<MetaWindowType>(window.type) == MetaWindowType::Desktop;
}

WindowInfo windowInfo(const ShellWindow& window) {
    WindowInfo info;
    if (window.pid > 0) info.ownerPid = window.pid;
    info.number = windowNumber(window.id);
    // An unmanaged window (a popup) is never an ordinary one, whatever type it declares.
    const std::int64_t declared = layerOfType(window.type);
    info.layer = window.overrideRedirect && declared == layer::kNormal ? layer::kMenu : declared;
    info.bounds = window.frame;
    info.name = window.title;
    info.alpha = window.opacity;
    return info;
}

std::optional<ShellWindows> askShell(GDBusConnection* bus) {
    Variant reply = linux_desktop::dbus::call(bus, kShellName, kFactsPath, kFactsInterface, "List",
                                              nullptr, kReplyType, false, kShellTimeoutMs);
    return decodeShellWindows(reply.get());
}

std::optional<std::vector<WindowInfo>> ShellWindowServer::windowList(WindowListKind kind) {
    const auto shell = askShell(bus_.get());
    if (!shell) return std::nullopt;
    std::vector<WindowInfo> list;
    list.reserve(shell->windows.size());
    for (const ShellWindow& window : shell->windows) {
        if (kind == WindowListKind::OnScreenExcludingDesktopElements && isDesktopElement(window))
            continue;
        list.push_back(windowInfo(window));
    }
    return list;
}

} // namespace host::platform::gnome
