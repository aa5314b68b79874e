#pragma once
// SHA-256 through OpenSSL: of bytes in memory and of an open file, read in large
// sequential chunks.

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace host::bundles {

using Digest = std::array<unsigned char, 32>;

Digest sha256(std::span<const unsigned char> bytes);
inline Digest sha256(std::string_view text) {
    return sha256(std::span(reinterpret_cast<const unsigned char*>(text.data()), text.size()));
}

// Hashes everything readable from `fd`, from its current offset to its end. `buffer` is
// the caller's scratch space (reused across files by one thread). Nothing on a read error.
std::optional<Digest> sha256Fd(int fd, std::vector<unsigned char>& buffer);

// Lower-case hexadecimal, and back (exactly 64 hex digits, either case).
std::string toHex(const Digest& digest);
std::optional<Digest> digestFromHex(std::string_view text);

} // namespace host::bundles
