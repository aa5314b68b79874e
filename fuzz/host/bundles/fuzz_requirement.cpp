// Arbitrary text through the requirement compiler and evaluator; and any identifier,
// quoted, must compile back to a requirement that it satisfies.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "host/platform/linux/bundles/requirement.h"

using namespace host::bundles;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    if (auto requirement = compileRequirementText(text)) {
        CodeFacts adHoc{"com.example.App", std::nullopt, sha256(text)};
        CodeFacts signedCode{"com.example.App", std::string("ABCDEFGHIJ"), {}};
        (void)requirement->satisfiedBy(adHoc);
        (void)requirement->satisfiedBy(signedCode);
    }

    bool printable = !text.empty();
    for (char c : text)
        printable = printable && static_cast<unsigned char>(c) >= 0x20 && c != 0x7f;
    auto quoted = compileRequirementText("identifier " + quoteRequirementString(text));
    if (printable != static_cast<bool>(quoted) && !(text.empty() && quoted)) std::abort();
    if (quoted && !quoted->satisfiedBy(CodeFacts{std::string(text), std::nullopt, {}}))
        std::abort();
    return 0;
}
