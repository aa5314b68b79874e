#pragma once
// The small code-requirement language of the seal:
//   identifier "ID"                          the seal's identifier equals ID
//   cdhash H"HEX"                            the seal's cdhash (64 hex digits) equals HEX
//   certificate leaf[subject.OU] = "TEAM"    signed with a key whose team is TEAM
// combined with `!`, `and`, `or` (binding in that order, tightest first) and parentheses.
// Strings are double-quoted with \" and \\ as their only escapes. Anything else fails to
// compile.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/platform/linux/bundles/sha256.h"

namespace host::bundles {

// What a requirement is evaluated against. `team` is set only for a seal signed with a
// key: an ad-hoc seal has no certificate, so no certificate clause holds for it.
struct CodeFacts {
    std::string identifier;
    std::optional<std::string> team;
    Digest cdhash{};
};

class CompiledRequirement {
public:
    bool satisfiedBy(const CodeFacts& facts) const;

    // Parse tree, flattened; node 0 is the root. `and`/`or` hold all their operands, so
    // a long chain does not nest.
    struct Node {
        enum class Kind { Identifier, Cdhash, Team, Not, And, Or } kind;
        std::string text;
        Digest hash{};
        std::vector<std::uint32_t> operands;
    };
    std::vector<Node> nodes;

private:
    bool evaluate(std::uint32_t index, const CodeFacts& facts) const;
};

std::optional<CompiledRequirement> compileRequirementText(std::string_view text);

// A string literal of the language for `value`.
std::string quoteRequirementString(std::string_view value);

} // namespace host::bundles
