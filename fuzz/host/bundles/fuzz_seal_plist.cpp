// Arbitrary bytes read as each of the seal's files (CodeDirectory, CodeResources,
// CodeSignature). What parses must serialize and parse back to the same thing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "host/platform/linux/bundles/seal_format.h"

using namespace host::bundles;

namespace {

std::span<const unsigned char> bytesOf(const std::string& text) {
    return {reinterpret_cast<const unsigned char*>(text.data()), text.size()};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::span<const unsigned char> bytes(data, size);
    if (auto directory = parseCodeDirectory(bytes)) {
        auto again = parseCodeDirectory(bytesOf(serialize(*directory)));
        if (!again || again->identifier != directory->identifier ||
            again->teamIdentifier != directory->teamIdentifier ||
            again->mainExecutable != directory->mainExecutable ||
            again->mainExecutableHash != directory->mainExecutableHash ||
            again->resourcesHash != directory->resourcesHash)
            std::abort();
    }
    if (auto resources = parseCodeResources(bytes)) {
        auto again = parseCodeResources(bytesOf(serialize(*resources)));
        if (!again || again->files != resources->files || again->symlinks != resources->symlinks ||
            again->folders != resources->folders)
            std::abort();
    }
    if (auto signature = parseCodeSignature(bytes)) {
        auto again = parseCodeSignature(bytesOf(serialize(*signature)));
        if (!again || again->publicKey != signature->publicKey ||
            again->signature != signature->signature)
            std::abort();
    }
    return 0;
}
