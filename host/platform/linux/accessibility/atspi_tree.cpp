#include "host/platform/linux/accessibility/atspi_tree.h"

#include "host/platform/linux/accessibility/atspi_identity.h"

#include <climits>
#include <deque>

namespace host::platform::linux_atspi {
namespace {

// Guards against cyclic or absurd trees reported by a faulty application.
constexpr int kMaxDepth = 256;
constexpr int kMaxChildren = 4096;
constexpr int kMaxSearched = 5000;

bool failedRequest(const GErrorSlot& error, const CallBudget& budget) {
    if (!error.set()) return false;
    budget.noteFailure();
    return true;
}

bool isWindowRole(AtspiRole role) {
    switch (role) {
    case ATSPI_ROLE_FRAME:
    case ATSPI_ROLE_DIALOG:
    case ATSPI_ROLE_WINDOW:
    case ATSPI_ROLE_ALERT:
    case ATSPI_ROLE_FILE_CHOOSER:
        return true;
    default:
        return false;
    }
}

} // namespace

AccessibleRef applicationOf(std::int32_t pid, const CallBudget& budget) {
    if (!budget.arm()) return nullptr;
    const auto desktop = adopt(atspi_get_desktop(0));
    if (!desktop) return nullptr;
    for (auto& child : childrenOf(desktop.get(), budget)) {
        if (processOf(child.get(), budget) == pid) return std::move(child);
    }
    return nullptr;
}

std::optional<std::int32_t> processOf(AtspiAccessible* accessible, const CallBudget& budget) {
    if (!accessible || !budget.arm()) return std::nullopt;
    GErrorSlot error;
    const guint pid = atspi_accessible_get_process_id(accessible, error.out());
    if (failedRequest(error, budget) || pid == 0 || pid > INT32_MAX) return std::nullopt;
    return static_cast<std::int32_t>(pid);
}

std::vector<AccessibleRef> childrenOf(AtspiAccessible* accessible, const CallBudget& budget) {
    std::vector<AccessibleRef> children;
    if (!accessible || !budget.arm()) return children;
    GErrorSlot countError;
    const gint count = atspi_accessible_get_child_count(accessible, countError.out());
    if (failedRequest(countError, budget)) return children;
    for (gint i = 0; i < count && i < kMaxChildren; ++i) {
        if (!budget.arm()) break;
        GErrorSlot error;
        auto child = adopt(atspi_accessible_get_child_at_index(accessible, i, error.out()));
        if (failedRequest(error, budget)) break;
        if (child) children.push_back(std::move(child));
    }
    return children;
}

AccessibleRef parentOf(AtspiAccessible* accessible, const CallBudget& budget) {
    if (!accessible || !budget.arm()) return nullptr;
    GErrorSlot error;
    auto parent = adopt(atspi_accessible_get_parent(accessible, error.out()));
    if (failedRequest(error, budget)) return nullptr;
    return parent;
}

std::optional<AtspiRole> roleOf(AtspiAccessible* accessible, const CallBudget& budget) {
    if (!accessible || !budget.arm()) return std::nullopt;
    GErrorSlot error;
    const AtspiRole role = atspi_accessible_get_role(accessible, error.out());
    if (failedRequest(error, budget)) return std::nullopt;
    return role;
}

bool hasState(AtspiAccessible* accessible, AtspiStateType state, const CallBudget& budget) {
    if (!accessible || !budget.arm()) return false;
    const auto states = adopt(atspi_accessible_get_state_set(accessible));
    return states && atspi_state_set_contains(states.get(), state);
}

std::optional<std::string> nameOf(AtspiAccessible* accessible, const CallBudget& budget) {
    if (!accessible || !budget.arm()) return std::nullopt;
    GErrorSlot error;
    GCharRef name(atspi_accessible_get_name(accessible, error.out()));
    if (failedRequest(error, budget) || !name) return std::nullopt;
    return std::string(name.get());
}

std::optional<ScreenRect> extentsOf(AtspiAccessible* accessible, const CallBudget& budget) {
    if (!accessible || !budget.arm()) return std::nullopt;
    const auto component = adopt(atspi_accessible_get_component_iface(accessible));
    if (!component || !budget.arm()) return std::nullopt;
    GErrorSlot error;
    common::Owned<AtspiRect, g_free> rect(
        atspi_component_get_extents(component.get(), ATSPI_COORD_TYPE_SCREEN, error.out()));
    if (failedRequest(error, budget) || !rect) return std::nullopt;
    if (rect->x == INT_MIN || rect->y == INT_MIN) return std::nullopt; // hidden
    return ScreenRect{rect->x, rect->y, rect->width, rect->height};
}

AccessibleRef windowOf(AtspiAccessible* accessible, const CallBudget& budget) {
    auto current = share(accessible);
    for (int depth = 0; current && depth < kMaxDepth; ++depth) {
        auto parent = parentOf(current.get(), budget);
        if (!parent) return nullptr; // detached, or the tree could not be read
        const auto parentRole = roleOf(parent.get(), budget);
        if (!parentRole) return nullptr;
        if (*parentRole == ATSPI_ROLE_APPLICATION) {
            const auto role = roleOf(current.get(), budget);
            return role && isWindowRole(*role) ? std::move(current) : nullptr;
        }
        current = std::move(parent);
    }
    return nullptr;
}

AccessibleRef activeWindowOf(AtspiAccessible* application, const CallBudget& budget) {
    // While a popup (a combo box's list, a menu) is open, the toolkit marks the popup
    // active, not the window it belongs to. The popup is no window of the application's
    // own: the focus stays with that window, which is the one to find, and the popup is
    // just another window over it. Which window a popup belongs to is told only when there
    // is one to choose from.
    AccessibleRef activePopup;
    std::vector<AccessibleRef> windows;
    for (auto& child : childrenOf(application, budget)) {
        const auto role = roleOf(child.get(), budget);
        const bool popup = role == ATSPI_ROLE_WINDOW;
        if (hasState(child.get(), ATSPI_STATE_ACTIVE, budget)) {
            if (!popup) return std::move(child);
            activePopup = std::move(child);
        } else if (!popup && hasState(child.get(), ATSPI_STATE_SHOWING, budget)) {
            windows.push_back(std::move(child));
        }
    }
    if (activePopup && windows.size() == 1) return std::move(windows.front());
    return nullptr;
}

AccessibleRef focusedDescendantOf(AtspiAccessible* root, const CallBudget& budget) {
    std::deque<AccessibleRef> pending;
    for (auto& child : childrenOf(root, budget))
        pending.push_back(std::move(child));
    for (int searched = 0; !pending.empty() && searched < kMaxSearched; ++searched) {
        auto next = std::move(pending.front());
        pending.pop_front();
        if (!hasState(next.get(), ATSPI_STATE_SHOWING, budget)) continue;
        if (hasState(next.get(), ATSPI_STATE_FOCUSED, budget)) return next;
        // Containers that manage their descendants (long lists, tables) report the focused
        // row through other means; their children are not walked.
        if (hasState(next.get(), ATSPI_STATE_MANAGES_DESCENDANTS, budget)) continue;
        for (auto& child : childrenOf(next.get(), budget))
            pending.push_back(std::move(child));
    }
    return nullptr;
}

AccessibleRef deepestAt(AtspiAccessible* window, int x, int y, const CallBudget& budget) {
    auto current = share(window);
    for (int depth = 0; depth < kMaxDepth; ++depth) {
        if (!budget.arm()) break;
        const auto component = adopt(atspi_accessible_get_component_iface(current.get()));
        if (!component || !budget.arm()) break;
        GErrorSlot error;
        auto inner = adopt(atspi_component_get_accessible_at_point(
            component.get(), x, y, ATSPI_COORD_TYPE_SCREEN, error.out()));
        if (failedRequest(error, budget) || !inner || sameObject(inner.get(), current.get())) break;
        current = std::move(inner);
    }
    return current;
}

AccessibleRef scrollPaneOf(AtspiAccessible* accessible, const CallBudget& budget) {
    auto current = share(accessible);
    for (int depth = 0; current && depth < kMaxDepth; ++depth) {
        const auto role = roleOf(current.get(), budget);
        if (!role || *role == ATSPI_ROLE_APPLICATION) return nullptr;
        if (*role == ATSPI_ROLE_SCROLL_PANE) return current;
        current = parentOf(current.get(), budget);
    }
    return nullptr;
}

AccessibleRef scrolledContentOf(AtspiAccessible* pane, const CallBudget& budget) {
    for (auto& child : childrenOf(pane, budget)) {
        const auto role = roleOf(child.get(), budget);
        if (role && *role != ATSPI_ROLE_SCROLL_BAR) return std::move(child);
    }
    return nullptr;
}

AccessibleRef verticalScrollBarOf(AtspiAccessible* pane, const CallBudget& budget) {
    for (auto& child : childrenOf(pane, budget)) {
        if (roleOf(child.get(), budget) == ATSPI_ROLE_SCROLL_BAR &&
            hasState(child.get(), ATSPI_STATE_VERTICAL, budget))
            return std::move(child);
    }
    return nullptr;
}

} // namespace host::platform::linux_atspi
