#pragma once
// The windows on a GNOME Shell screen, as the project's Shell extension reports them over
// the session bus: front to back, with the compositor's own facts of each (the owner pid
// from the client's connection, never from a property it wrote), and the focused window.

#include "host/platform/geometry.h"
#include "host/platform/linux/glib/dbus.h"
#include "host/platform/window_server_port.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace host::platform::gnome {

// Where the extension answers, on the Shell's own bus name.
inline constexpr const char* kShellName = "org.gnome.Shell";
inline constexpr const char* kFactsPath = "/org/tarnwick/Skelmor";
inline constexpr const char* kFactsInterface = "org.tarnwick.Skelmor.Windows";

// Mutter's window types, in its own numbering.
enum class MetaWindowType : std::uint32_t {
    Normal,
    Desktop,
    Dock,
    Dialog,
    ModalDialog,
    Toolbar,
    Menu,
    Utility,
    Splashscreen,
    DropdownMenu,
    PopupMenu,
    Tooltip,
    Notification,
    Combo,
    Dnd,
    OverrideOther
};

struct ShellWindow {
    std::uint64_t id = 0; // Mutter's window id: unique for the Shell's life, never reused
    std::int32_t pid = 0; // 0: not known
    std::uint32_t type = 0;
    bool overrideRedirect = false;
    Rect frame;  // the window as the user sees it, in global coordinates
    Rect buffer; // the client's whole surface, shadows included
    std::string title;
    double opacity = 1.0; // as the compositor paints it
};

struct ShellWindows {
    std::vector<ShellWindow> windows; // front to back
    std::uint64_t focus = 0;          // 0: no window has the focus
};

// The extension's answer, or nothing when it is not one.
std::optional<ShellWindows> decodeShellWindows(GVariant* reply);

// The host numbers windows with 32 bits; Mutter's ids are a random 32-bit base plus a
// counter, so their low 32 bits are as unique as the ids themselves.
std::uint32_t windowNumber(std::uint64_t id);

// The window server's view of one window, with the layers of the original window server.
WindowInfo windowInfo(const ShellWindow& window);
bool isDesktopElement(const ShellWindow& window);

// The Shell answers from its JavaScript, between frames and collections: it is given
// longer than the other services.
inline constexpr int kShellTimeoutMs = 1000;

// Asks the extension; nothing when the Shell or the extension does not answer.
std::optional<ShellWindows> askShell(GDBusConnection* bus);

class ShellWindowServer final : public WindowServerPort {
public:
    explicit ShellWindowServer(linux_desktop::dbus::Connection bus) : bus_(std::move(bus)) {}
    std::optional<std::vector<WindowInfo>> windowList(WindowListKind kind) override;

private:
    linux_desktop::dbus::Connection bus_;
};

} // namespace host::platform::gnome
