#include "host/base/params.h"

#include <cmath>
#include <limits>
#include <utility>
#include <vector>

namespace host::params {
namespace {

const common::Json* member(const common::Json& params, std::string_view key) {
    if (!params.is_object()) return nullptr;
    auto it = params.find(std::string(key));
    return it == params.end() ? nullptr : &*it;
}

// An integral number within [low, high], whatever its stored representation.
template <typename Int> std::optional<Int> integral(const common::Json* value) {
    if (value == nullptr || !value->is_number()) return std::nullopt;
    constexpr auto low = std::numeric_limits<Int>::min();
    constexpr auto high = std::numeric_limits<Int>::max();
    if (value->is_number_unsigned()) {
        auto n = value->get<std::uint64_t>();
        if (n > static_cast<std::uint64_t>(high)) return std::nullopt;
        return static_cast<Int>(n);
    }
    if (value->is_number_integer()) {
        auto n = value->get<std::int64_t>();
        if (n < static_cast<std::int64_t>(low) || n > static_cast<std::int64_t>(high))
            return std::nullopt;
        return static_cast<Int>(n);
    }
    double d = value->get<double>();
    if (!(d >= static_cast<double>(low) && d <= static_cast<double>(high))) return std::nullopt;
    if (std::floor(d) != d) return std::nullopt;
    return static_cast<Int>(d);
}

} // namespace

std::optional<std::string> string(const common::Json& params, std::string_view key) {
    const auto* value = member(params, key);
    if (value == nullptr || !value->is_string()) return std::nullopt;
    return value->get<std::string>();
}

std::optional<common::Json> object(const common::Json& params, std::string_view key) {
    const auto* value = member(params, key);
    if (value == nullptr || !value->is_object()) return std::nullopt;
    return deepCopy(*value);
}

std::optional<double> number(const common::Json& params, std::string_view key) {
    const auto* value = member(params, key);
    if (value == nullptr || !value->is_number()) return std::nullopt;
    return value->get<double>();
}

std::optional<std::uint32_t> u32(const common::Json& params, std::string_view key) {
    return integral<std::uint32_t>(member(params, key));
}

std::optional<std::int32_t> i32(const common::Json& params, std::string_view key) {
    return integral<std::int32_t>(member(params, key));
}

common::Json deepCopy(const common::Json& value) {
    common::Json root;
    // Each pending step copies one source value into an already placed target.
    std::vector<std::pair<const common::Json*, common::Json*>> pending{{&value, &root}};
    while (!pending.empty()) {
        auto [source, target] = pending.back();
        pending.pop_back();
        if (source->is_object()) {
            *target = common::Json::object();
            for (auto it = source->begin(); it != source->end(); ++it)
                pending.emplace_back(&it.value(), &(*target)[it.key()]);
        } else if (source->is_array()) {
            *target = common::Json::array();
            auto& items = target->get_ref<common::Json::array_t&>();
            items.resize(source->size());
            for (std::size_t i = 0; i < items.size(); ++i)
                pending.emplace_back(&(*source)[i], &items[i]);
        } else {
            *target = *source; // a scalar: no recursion
        }
    }
    return root;
}

} // namespace host::params
