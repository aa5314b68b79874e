#include "host/platform/linux/accessibility/window_hit_test.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace host::platform::linux_atspi {
namespace {

class ListedWindows final : public WindowServerPort {
public:
    std::optional<std::vector<WindowInfo>> list;
    std::optional<std::vector<WindowInfo>> windowList(WindowListKind kind) override {
        lastKind = kind;
        return list;
    }
    std::optional<WindowListKind> lastKind;
};

WindowInfo window(std::int64_t pid, Rect bounds, std::optional<double> alpha = std::nullopt) {
    WindowInfo info;
    info.ownerPid = pid;
    info.bounds = bounds;
    info.alpha = alpha;
    return info;
}

TEST(WindowHitTest, TakesTheFrontMostWindowThatIsNotTransparent) {
    ListedWindows windows;
    windows.list = std::vector<WindowInfo>{
        window(10, {0, 0, 50, 50}),            // elsewhere
        window(11, {100, 100, 50, 50}, 0.0),   // transparent: looked through
        window(12, {100, 100, 200, 200}, 0.5), // the hit
        window(13, {0, 0, 1000, 1000}),        // behind
    };
    const auto front = frontWindowAt(windows, 120, 120);
    ASSERT_TRUE(front);
    EXPECT_EQ(front->pid, 12);
    EXPECT_EQ(front->bounds, (Rect{100, 100, 200, 200}));
    // Every layer takes part.
    EXPECT_EQ(windows.lastKind, WindowListKind::OnScreen);
}

TEST(WindowHitTest, IncludesMinimumEdgesAndExcludesMaximumEdges) {
    ListedWindows windows;
    windows.list = std::vector<WindowInfo>{window(7, {10, 20, 30, 40}), window(8, {0, 0, 99, 99})};
    EXPECT_EQ(frontWindowAt(windows, 10, 20)->pid, 7);
    EXPECT_EQ(frontWindowAt(windows, 39.99, 59.99)->pid, 7);
    EXPECT_EQ(frontWindowAt(windows, 40, 30)->pid, 8);
    EXPECT_EQ(frontWindowAt(windows, 20, 60)->pid, 8);
    EXPECT_EQ(frontWindowAt(windows, 9.99, 30)->pid, 8);
}

TEST(WindowHitTest, StandardisesNegativeSizes) {
    ListedWindows windows;
    windows.list = std::vector<WindowInfo>{window(7, {50, 50, -20, -20})};
    const auto front = frontWindowAt(windows, 35, 35);
    ASSERT_TRUE(front);
    EXPECT_EQ(front->bounds, (Rect{30, 30, 20, 20}));
}

TEST(WindowHitTest, NothingWithoutAListAWindowOrAUsableOwner) {
    ListedWindows windows;
    EXPECT_FALSE(frontWindowAt(windows, 1, 1)); // no list at all
    windows.list = std::vector<WindowInfo>{};
    EXPECT_FALSE(frontWindowAt(windows, 1, 1));

    WindowInfo noBounds;
    noBounds.ownerPid = 3;
    WindowInfo noOwner = window(1, {0, 0, 10, 10});
    noOwner.ownerPid.reset();
    windows.list = std::vector<WindowInfo>{noBounds, noOwner, window(5, {0, 0, 10, 10})};
    // The front-most window at the point has no owner: it still covers what lies behind.
    EXPECT_FALSE(frontWindowAt(windows, 1, 1));

    windows.list = std::vector<WindowInfo>{window(std::int64_t{1} << 40, {0, 0, 10, 10})};
    EXPECT_FALSE(frontWindowAt(windows, 1, 1));
    windows.list = std::vector<WindowInfo>{window(0, {0, 0, 10, 10})};
    EXPECT_FALSE(frontWindowAt(windows, 1, 1));
}

TEST(WindowHitTest, NonNumericPointsHitNothing) {
    ListedWindows windows;
    windows.list = std::vector<WindowInfo>{window(7, {0, 0, 10, 10})};
    EXPECT_FALSE(frontWindowAt(windows, std::nan(""), 1));
    EXPECT_FALSE(frontWindowAt(windows, 1, std::numeric_limits<double>::infinity()));
}

} // namespace
} // namespace host::platform::linux_atspi
