#pragma once
// Counting and cutting text by user-perceived characters (extended grapheme clusters,
// Unicode Standard Annex 29). Every limit the programs apply to text goes through here.

#include <cstddef>
#include <string_view>

namespace common {

// Number of extended grapheme clusters in UTF-8 text. A byte that does not start a
// valid UTF-8 sequence counts as a cluster of its own.
std::size_t countGraphemes(std::string_view utf8);

// The longest prefix holding at most `limit` clusters; never splits a cluster.
std::string_view firstGraphemes(std::string_view utf8, std::size_t limit);

} // namespace common
