// Placing a toolkit's window coordinates on the screen: which of the process's windows a
// top-level accessible stands for, and where its coordinates start.
#include "host/platform/linux/gnome/shell_placement.h"

#include <gtest/gtest.h>

namespace host::platform::gnome {
namespace {

constexpr std::int32_t kPid = 4242;

ShellWindow window(std::int32_t pid, Rect frame, Rect buffer, std::string title) {
    ShellWindow w;
    w.pid = pid;
    w.frame = frame;
    w.buffer = buffer;
    w.title = std::move(title);
    return w;
}

// A native window as headless GNOME Shell reports it: the frame inside a buffer that holds
// the shadows around it.
const ShellWindow kNative = window(kPid, {38, 137, 400, 337}, {12, 114, 452, 389}, "Probe");

TEST(ShellPlacement, PlacesWhatTheToolkitReportsOfItsSurface) {
    struct Case {
        const char* what;
        std::vector<ShellWindow> windows;
        std::int32_t pid;
        Rect extents;
        const char* title;
        std::optional<Point> origin; // nothing: not placed
    };
    const ShellWindow sameSize = window(kPid, {538, 137, 400, 337}, {512, 114, 452, 389}, "Other");
    const ShellWindow xwayland = window(kPid, {200, 300, 400, 337}, {174, 277, 452, 389}, "X");
    const Case cases[] = {
        {"a Wayland surface starts at the buffer",
         {kNative},
         kPid,
         {0, 0, 452, 389},
         "",
         Point{12, 114}},
        {"screen coordinates are kept", {xwayland}, kPid, {174, 277, 452, 389}, "", Point{0, 0}},
        {"another process's window", {kNative}, kPid + 1, {0, 0, 452, 389}, "Probe", std::nullopt},
        {"no pid", {window(0, {}, {0, 0, 452, 389}, "")}, 0, {0, 0, 452, 389}, "", std::nullopt},
        {"another size", {kNative}, kPid, {0, 0, 400, 337}, "Probe", std::nullopt},
        {"somewhere else", {kNative}, kPid, {5, 5, 452, 389}, "Probe", std::nullopt},
        {"two alike, the title decides",
         {sameSize, kNative},
         kPid,
         {0, 0, 452, 389},
         "Probe",
         Point{12, 114}},
        {"two alike, no title fits",
         {sameSize, kNative},
         kPid,
         {0, 0, 452, 389},
         "Third",
         std::nullopt},
        {"two alike and titled alike",
         {kNative, window(kPid, {538, 137, 400, 337}, {512, 114, 452, 389}, "Probe")},
         kPid,
         {0, 0, 452, 389},
         "Probe",
         std::nullopt},
    };
    for (const Case& c : cases) {
        const auto placed = placeSurface(c.windows, c.pid, c.extents, c.title);
        ASSERT_EQ(placed.has_value(), c.origin.has_value()) << c.what;
        if (!placed) continue;
        EXPECT_EQ(placed->origin.x, c.origin->x) << c.what;
        EXPECT_EQ(placed->origin.y, c.origin->y) << c.what;
    }
}

TEST(ShellPlacement, ATopLevelIsWhereTheCompositorPutsItsFrame) {
    const auto placed = placeSurface({kNative}, kPid, {0, 0, 452, 389}, "Probe");
    ASSERT_TRUE(placed);
    EXPECT_EQ(placed->frame, kNative.frame) << "the frame, without the shadows";
}

} // namespace
} // namespace host::platform::gnome
