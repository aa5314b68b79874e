#include "common/graphemes.h"

#include <utf8proc.h>

namespace common {
namespace {

// Walks the clusters of `utf8`, stopping once `limit` clusters are complete.
// Returns the number of clusters seen and, through `end`, the byte offset reached.
std::size_t walk(std::string_view utf8, std::size_t limit, std::size_t& end) {
    auto bytes = reinterpret_cast<const utf8proc_uint8_t*>(utf8.data());
    std::size_t size = utf8.size(), at = 0, clusters = 0;
    utf8proc_int32_t state = 0, previous = -1;
    end = 0;
    while (at < size) {
        utf8proc_int32_t cp = 0;
        utf8proc_ssize_t n =
            utf8proc_iterate(bytes + at, static_cast<utf8proc_ssize_t>(size - at), &cp);
        bool invalid = n < 1;
        if (invalid) n = 1;
        bool boundary =
            previous < 0 || invalid || utf8proc_grapheme_break_stateful(previous, cp, &state);
        if (boundary) {
            if (clusters == limit) return clusters;
            ++clusters;
            if (invalid) state = 0;
        }
        previous = invalid ? -1 : cp;
        at += static_cast<std::size_t>(n);
        end = at;
    }
    return clusters;
}

} // namespace

std::size_t countGraphemes(std::string_view utf8) {
    std::size_t end;
    return walk(utf8, static_cast<std::size_t>(-1), end);
}

std::string_view firstGraphemes(std::string_view utf8, std::size_t limit) {
    std::size_t end;
    walk(utf8, limit, end);
    return utf8.substr(0, end);
}

} // namespace common
