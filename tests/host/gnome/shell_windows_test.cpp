// The extension's answer as the window server port reads it: decoding, the window numbers,
// and the layers the host's rules see.
#include "host/platform/linux/gnome/gnome_display_facts.h"
#include "host/platform/linux/gnome/shell_windows.h"
#include "host/platform/linux/window_layers.h"

#include <gtest/gtest.h>

namespace host::platform::gnome {
namespace {

namespace layer = linux_desktop::layer;
using glib::GVariantRef;

struct Row {
    std::uint64_t id;
    std::int32_t pid;
    MetaWindowType type;
    bool overrideRedirect;
};

GVariantRef answer(std::initializer_list<Row> rows, std::uint64_t focus) {
    GVariantBuilder list;
    g_variant_builder_init(&list, G_VARIANT_TYPE("a(tiub(iiii)(iiii)sd)"));
    for (const Row& r : rows)
        g_variant_builder_add(&list, "(tiub(iiii)(iiii)sd)", r.id, r.pid,
                              static_cast<guint32>(r.type), r.overrideRedirect, 10, 20, 300, 200, 0,
                              0, 340, 250, "Títle ✓", 0.5);
    return GVariantRef(g_variant_ref_sink(g_variant_new("(a(tiub(iiii)(iiii)sd)t)", &list, focus)));
}

TEST(ShellWindows, DecodesEveryFieldInOrder) {
    const auto reply = answer(
        {{641439393, 4242, MetaWindowType::Normal, false}, {7, 0, MetaWindowType::Dock, false}},
        641439393);
    const auto shell = decodeShellWindows(reply.get());
    ASSERT_TRUE(shell);
    EXPECT_EQ(shell->focus, 641439393u);
    ASSERT_EQ(shell->windows.size(), 2u);
    const ShellWindow& front = shell->windows[0];
    EXPECT_EQ(front.id, 641439393u);
    EXPECT_EQ(front.pid, 4242);
    EXPECT_EQ(front.frame, (Rect{10, 20, 300, 200}));
    EXPECT_EQ(front.buffer, (Rect{0, 0, 340, 250}));
    EXPECT_EQ(front.title, "Títle ✓");
    EXPECT_DOUBLE_EQ(front.opacity, 0.5);
    EXPECT_EQ(shell->windows[1].id, 7u);
}

TEST(ShellWindows, RefusesAnythingButTheExtensionsAnswer) {
    EXPECT_FALSE(decodeShellWindows(nullptr));
    const GVariantRef wrong(g_variant_ref_sink(g_variant_new("(as)", nullptr)));
    EXPECT_FALSE(decodeShellWindows(wrong.get()));
    // An older answer without the focus is not read as one with it.
    GVariantBuilder list;
    g_variant_builder_init(&list, G_VARIANT_TYPE("a(tiub(iiii)(iiii)sd)"));
    const GVariantRef short_(g_variant_ref_sink(g_variant_new("(a(tiub(iiii)(iiii)sd))", &list)));
    EXPECT_FALSE(decodeShellWindows(short_.get()));
}

TEST(ShellWindows, NumbersAreTheLow32BitsOfMutterIds) {
    EXPECT_EQ(windowNumber(641439393u), 641439393u);
    // Ids start at a random 32-bit base and count up, past 2^32 when the base was high.
    EXPECT_EQ(windowNumber(0xFFFFFFFFull), 0xFFFFFFFFu);
    EXPECT_EQ(windowNumber(0x100000000ull), 0u);
    EXPECT_EQ(windowNumber(0x100000005ull), 5u);
}

TEST(ShellWindows, LayersFollowTheOriginalWindowServer) {
    using T = MetaWindowType;
    const struct {
        T type;
        bool overrideRedirect;
        std::int64_t layer;
    } cases[] = {
        {T::Normal, false, layer::kNormal},
        {T::Dialog, false, layer::kNormal},
        {T::ModalDialog, false, layer::kNormal},
        {T::Desktop, false, layer::kDesktop},
        {T::Dock, false, layer::kDock},
        {T::Utility, false, layer::kFloating},
        {T::Toolbar, false, layer::kFloating},
        {T::Splashscreen, false, layer::kFloating},
        {T::Menu, false, layer::kMenu},
        {T::DropdownMenu, true, layer::kMenu},
        {T::PopupMenu, true, layer::kMenu},
        {T::Combo, true, layer::kMenu},
        {T::Dnd, true, layer::kMenu},
        {T::OverrideOther, true, layer::kMenu},
        {T::Tooltip, true, layer::kTooltip},
        {T::Notification, false, layer::kNotification},
        // An unmanaged window is never an ordinary one, whatever type it declares.
        {T::Normal, true, layer::kMenu},
        // Nor is a type this code does not know.
        {static_cast<T>(99), false, layer::kMenu},
    };
    for (const auto& c : cases) {
        ShellWindow window;
        window.type = static_cast<std::uint32_t>(c.type);
        window.overrideRedirect = c.overrideRedirect;
        EXPECT_EQ(windowInfo(window).layer, c.layer) << "type " << window.type;
    }
}

TEST(ShellWindows, WindowInfoCarriesTheCompositorsFacts) {
    ShellWindow window;
    window.id = 0x1'2345'6789ull;
    window.pid = 31337;
    window.frame = Rect{26, 23, 420, 283};
    window.buffer = Rect{0, 0, 472, 329};
    window.title = "Notes";
    window.opacity = 0.25;
    const WindowInfo info = windowInfo(window);
    EXPECT_EQ(info.ownerPid, 31337);
    EXPECT_EQ(info.number, 0x2345'6789);
    // The frame is the window the user sees; the buffer's shadows are not part of it.
    EXPECT_EQ(info.bounds, (Rect{26, 23, 420, 283}));
    EXPECT_EQ(info.name, "Notes");
    EXPECT_EQ(info.alpha, 0.25);
    // An owner the compositor does not know is missing, not pid 0.
    window.pid = 0;
    EXPECT_FALSE(windowInfo(window).ownerPid);
}

TEST(ShellWindows, OnlyTheDesktopIsADesktopElement) {
    ShellWindow window;
    window.type = static_cast<std::uint32_t>(MetaWindowType::Desktop);
    EXPECT_TRUE(isDesktopElement(window));
    window.type = static_cast<std::uint32_t>(MetaWindowType::Dock);
    EXPECT_FALSE(isDesktopElement(window));
}

TEST(PowerSaveMode, SleepIsStandbySuspendOrOff) {
    EXPECT_EQ(asleepInMode(0), false);
    for (int mode : {1, 2, 3})
        EXPECT_EQ(asleepInMode(mode), true) << mode;
    for (int mode : {-1, 4, 1000})
        EXPECT_FALSE(asleepInMode(mode)) << mode;
}

} // namespace
} // namespace host::platform::gnome
