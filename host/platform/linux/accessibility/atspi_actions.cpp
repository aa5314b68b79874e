#include "host/platform/linux/accessibility/atspi_actions.h"

#include "host/platform/linux/accessibility/atspi_tree.h"

#include <array>
#include <string_view>

namespace host::platform::linux_atspi {
namespace {

// Actions that press. "activate" is not one: on an entry or a spin button it is what Enter
// does, and it may submit a form.
constexpr std::array<std::string_view, 3> kPressActions{"click", "press", "toggle"};

std::optional<gint> pressActionIndex(AtspiAction* action, const CallBudget& budget) {
    if (!budget.arm()) return std::nullopt;
    GErrorSlot countError;
    const gint count = atspi_action_get_n_actions(action, countError.out());
    if (countError.set()) {
        budget.noteFailure();
        return std::nullopt;
    }
    std::optional<gint> best;
    std::size_t bestRank = kPressActions.size();
    for (gint i = 0; i < count; ++i) {
        if (!budget.arm()) return std::nullopt;
        GErrorSlot error;
        GCharRef name(atspi_action_get_action_name(action, i, error.out()));
        if (error.set()) {
            budget.noteFailure();
            return std::nullopt;
        }
        if (!name) continue;
        for (std::size_t rank = 0; rank < bestRank; ++rank) {
            if (g_ascii_strcasecmp(name.get(), kPressActions[rank].data()) == 0) {
                best = i;
                bestRank = rank;
            }
        }
    }
    return best;
}

AxStatus failure(const CallBudget& budget, AxStatus otherwise) {
    return budget.failed() ? AxStatus::Failure : otherwise;
}

} // namespace

AxStatus press(AtspiAccessible* accessible, const CallBudget& budget) {
    // A greyed-out control takes no press, though its action may still answer.
    if (!hasState(accessible, ATSPI_STATE_SENSITIVE, budget) ||
        !hasState(accessible, ATSPI_STATE_ENABLED, budget))
        return failure(budget, AxStatus::Unsupported);
    if (!budget.arm()) return AxStatus::Failure;
    const auto action = adopt(atspi_accessible_get_action_iface(accessible));
    if (!action) return failure(budget, AxStatus::Unsupported);
    const auto index = pressActionIndex(action.get(), budget);
    if (!index) return failure(budget, AxStatus::Unsupported);
    if (!budget.arm()) return AxStatus::Failure;
    GErrorSlot error;
    const bool done = atspi_action_do_action(action.get(), *index, error.out());
    return done && !error.set() ? AxStatus::Success : AxStatus::Failure;
}

AxStatus scrollByPage(AtspiAccessible* accessible, bool down, const CallBudget& budget) {
    const auto pane = scrollPaneOf(accessible, budget);
    if (!pane) return failure(budget, AxStatus::Unsupported);
    // A page is the visible height of the content, without the pane's frame or a
    // horizontal bar: for GTK exactly the adjustment's page size.
    const auto content = scrolledContentOf(pane.get(), budget);
    if (!content) return failure(budget, AxStatus::Unsupported);
    const auto visible = extentsOf(content.get(), budget);
    const auto bar = verticalScrollBarOf(pane.get(), budget);
    if (!visible || visible->height <= 0 || !bar) return failure(budget, AxStatus::Unsupported);
    if (!budget.arm()) return AxStatus::Failure;
    const auto value = adopt(atspi_accessible_get_value_iface(bar.get()));
    if (!value) return failure(budget, AxStatus::Unsupported);

    GErrorSlot minError, currentError, maxError;
    if (!budget.arm()) return AxStatus::Failure;
    const double minimum = atspi_value_get_minimum_value(value.get(), minError.out());
    if (!budget.arm()) return AxStatus::Failure;
    const double current = atspi_value_get_current_value(value.get(), currentError.out());
    if (!budget.arm()) return AxStatus::Failure;
    const double maximum = atspi_value_get_maximum_value(value.get(), maxError.out());
    if (minError.set() || currentError.set() || maxError.set()) return AxStatus::Failure;

    const double page = visible->height;
    double target = down ? current + page : current - page;
    if (target > maximum) target = maximum;
    if (target < minimum) target = minimum;
    if (!budget.arm()) return AxStatus::Failure;
    GErrorSlot error;
    const bool set = atspi_value_set_current_value(value.get(), target, error.out());
    return set && !error.set() ? AxStatus::Success : AxStatus::Failure;
}

AxStatus setText(AtspiAccessible* accessible, const std::string& text, const CallBudget& budget) {
    // D-Bus strings end at U+0000: such a text could only arrive cut short.
    if (text.find('\0') != std::string::npos) return AxStatus::Unsupported;
    // A read-only field keeps its value and still answers the call.
    if (!hasState(accessible, ATSPI_STATE_EDITABLE, budget))
        return failure(budget, AxStatus::Unsupported);
    if (!budget.arm()) return AxStatus::Failure;
    const auto editable = adopt(atspi_accessible_get_editable_text_iface(accessible));
    if (!editable) return failure(budget, AxStatus::Unsupported);
    if (!budget.arm()) return AxStatus::Failure;
    GErrorSlot error;
    const bool set =
        atspi_editable_text_set_text_contents(editable.get(), text.c_str(), error.out());
    if (!set || error.set()) return AxStatus::Failure;
    // The field holds the text now, or the value was not taken (a length limit, a filter).
    return textOf(accessible, budget) == text ? AxStatus::Success
                                              : failure(budget, AxStatus::Unsupported);
}

std::optional<std::string> textOf(AtspiAccessible* accessible, const CallBudget& budget) {
    if (!budget.arm()) return std::nullopt;
    const auto text = adopt(atspi_accessible_get_text_iface(accessible));
    if (!text || !budget.arm()) return std::nullopt;
    GErrorSlot countError;
    const gint count = atspi_text_get_character_count(text.get(), countError.out());
    if (countError.set() || !budget.arm()) {
        budget.noteFailure();
        return std::nullopt;
    }
    GErrorSlot error;
    GCharRef contents(atspi_text_get_text(text.get(), 0, count, error.out()));
    if (error.set() || !contents) {
        budget.noteFailure();
        return std::nullopt;
    }
    return std::string(contents.get());
}

} // namespace host::platform::linux_atspi
