#pragma once
// The job's `pages`: the page numbers to render, in the order given.

#include "common/json.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace attachments {

constexpr std::size_t maxSelectedPages = 10;

// 1 to 10 integers, or nothing when `pages` is missing, not an array, holds anything but
// integers, is empty or is longer. An integer is any JSON number with an integral value
// that fits a signed 64-bit integer, however it is written: 2, 2.0 and 2e0 all count;
// 1.5, "1" and 1e19 do not. Range checks against the document come later, page by page.
std::optional<std::vector<std::int64_t>> pageSelection(const common::Json& job);

} // namespace attachments
