#pragma once
// Standard base64 (RFC 4648 alphabet, padded, no line breaks).

#include <cstddef>
#include <string>

namespace common {

std::string base64(const unsigned char* data, std::size_t size);

// Appends the encoding to `out`, so large payloads go straight into their destination.
void appendBase64(std::string& out, const unsigned char* data, std::size_t size);

} // namespace common
