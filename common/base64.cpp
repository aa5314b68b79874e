#include "common/base64.h"

#include <openssl/evp.h>

namespace common {

void appendBase64(std::string& out, const unsigned char* data, std::size_t size) {
    // EVP_EncodeBlock takes an int length; feed it in slices that are multiples of 3.
    constexpr std::size_t slice = 3 * (1u << 20);
    std::size_t start = out.size();
    out.resize(start + 4 * ((size + 2) / 3));
    auto* dest = reinterpret_cast<unsigned char*>(out.data() + start);
    for (std::size_t at = 0; at < size; at += slice) {
        std::size_t n = size - at < slice ? size - at : slice;
        dest += EVP_EncodeBlock(dest, data + at, static_cast<int>(n));
    }
}

std::string base64(const unsigned char* data, std::size_t size) {
    std::string out;
    appendBase64(out, data, size);
    return out;
}

} // namespace common
