#include "attachments/pdf/page_selection.h"

#include <cmath>
#include <limits>

namespace attachments {
namespace {

std::optional<std::int64_t> integerOf(const common::Json& value) {
    if (value.is_number_integer()) {
        if (value.is_number_unsigned() &&
            value.get<std::uint64_t>() > std::uint64_t(std::numeric_limits<std::int64_t>::max()))
            return std::nullopt;
        return value.get<std::int64_t>();
    }
    if (!value.is_number_float()) return std::nullopt;
    double number = value.get<double>();
    // 2^63 itself is the first double past the range; -2^63 is the last one inside it.
    constexpr double limit = 9223372036854775808.0;
    if (!std::isfinite(number) || std::trunc(number) != number || number < -limit ||
        number >= limit)
        return std::nullopt;
    return static_cast<std::int64_t>(number);
}

} // namespace

std::optional<std::vector<std::int64_t>> pageSelection(const common::Json& job) {
    auto member = job.find("pages");
    if (member == job.end() || !member->is_array()) return std::nullopt;
    std::vector<std::int64_t> pages;
    for (const common::Json& entry : *member) {
        std::optional<std::int64_t> page = integerOf(entry);
        if (!page) return std::nullopt;
        pages.push_back(*page);
    }
    if (pages.empty() || pages.size() > maxSelectedPages) return std::nullopt;
    return pages;
}

} // namespace attachments
