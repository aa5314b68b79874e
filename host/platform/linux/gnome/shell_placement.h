#pragma once
// Places toolkit coordinates on a GNOME Shell screen: a top-level accessible is matched to
// one of its process's windows in the extension's list by the surface it reports, and
// placed at that window's buffer origin.
//
// A native Wayland client reports its top-level at (0, 0) with the size of its whole buffer;
// an XWayland client reports the buffer where it lies on the screen. Either way the size is
// the buffer's, and among windows of the same size the title decides.

#include "host/platform/linux/glib/dbus.h"
#include "host/platform/linux/gnome/shell_windows.h"
#include "host/platform/linux/surface_placement.h"

#include <vector>

namespace host::platform::gnome {

std::optional<linux_desktop::Placement> placeSurface(const std::vector<ShellWindow>& windows,
                                                     std::int32_t pid, const Rect& extents,
                                                     std::string_view title);

class ShellPlacement final : public linux_desktop::SurfacePlacement {
public:
    explicit ShellPlacement(linux_desktop::dbus::Connection bus) : bus_(std::move(bus)) {}
    std::optional<linux_desktop::Placement> place(std::int32_t pid, const Rect& extents,
                                                  std::string_view title) override;

private:
    linux_desktop::dbus::Connection bus_;
};

} // namespace host::platform::gnome
