#include "host/platform/linux/x11/window_facts.h"

#include <algorithm>
#include <span>

namespace host::platform::x11 {
namespace {

namespace layer = linux_desktop::layer;

// WM_STATE values (ICCCM).
constexpr std::uint32_t kIconicState = 3;

std::int64_t layerOfType(const Atoms& a, std::span<const std::uint32_t> types,
                         bool overrideRedirect) {
    for (std::uint32_t type : types) {
        if (type == a.typeNormal || type == a.typeDialog) return layer::kNormal;
        if (type == a.typeDesktop) return layer::kDesktop;
        if (type == a.typeDock) return layer::kDock;
        if (type == a.typeUtility || type == a.typeToolbar || type == a.typeSplash)
            return layer::kFloating;
        if (type == a.typeMenu || type == a.typeDropdownMenu || type == a.typePopupMenu ||
            type == a.typeCombo || type == a.typeDnd)
            return layer::kMenu;
        if (type == a.typeTooltip) return layer::kTooltip;
        if (type == a.typeNotification) return layer::kNotification;
    }
    // No known type: managed windows are ordinary ones, unmanaged popups are menus.
    return overrideRedirect ? layer::kMenu : layer::kNormal;
}

// An unmanaged window (popup, menu, tooltip) is never an ordinary one, whatever type it
// declares: toolkits type plain popups as normal windows.
std::int64_t layerOf(const Atoms& a, std::span<const std::uint32_t> types, bool overrideRedirect) {
    const std::int64_t declared = layerOfType(a, types, overrideRedirect);
    return overrideRedirect && declared == layer::kNormal ? layer::kMenu : declared;
}

} // namespace

std::optional<WindowTraits> traitsOf(const WindowFacts& facts, const Atoms& atoms) {
    const auto states = cardinals(facts.netWmState);
    const bool hidden = std::ranges::find(states, atoms.netWmStateHidden) != states.end();
    if (facts.clientState == kIconicState || hidden) return std::nullopt;

    WindowTraits traits;
    if (facts.clientState.has_value() || facts.overrideRedirect) {
        traits.layer = layerOf(atoms, cardinals(facts.windowType), facts.overrideRedirect);
        traits.desktop = traits.layer == layer::kDesktop;
    }
    traits.name = text(facts.netWmName, atoms);
    if (!traits.name) traits.name = text(facts.wmName, atoms);
    // Opacity is drawn only by a compositing manager; without one every window is opaque,
    // whatever it asks for.
    auto alpha = firstCardinal(facts.opacity);
    if (!alpha) alpha = firstCardinal(facts.frameOpacity);
    traits.alpha = facts.composited && alpha ? *alpha / 4294967295.0 : 1.0;
    return traits;
}

} // namespace host::platform::x11
