#include "host/platform/linux/bundles/sha256.h"

#include "common/unique_handle.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace host::bundles {
namespace {

using MdCtx = common::Owned<EVP_MD_CTX, EVP_MD_CTX_free>;

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

} // namespace

Digest sha256(std::span<const unsigned char> bytes) {
    Digest digest{};
    unsigned int size = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest.data(), &size, EVP_sha256(), nullptr);
    return digest;
}

std::optional<Digest> sha256Fd(int fd, std::vector<unsigned char>& buffer) {
    // Reads of up to 1 MiB; a small file needs no more than its size (and one byte to see
    // its end), so the scratch space is not cleared at a size the file never uses.
    constexpr std::size_t chunk = 1 << 20;
    struct stat info {};
    std::size_t want = chunk;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size >= 0)
        want = std::clamp<std::size_t>(static_cast<std::size_t>(info.st_size) + 1, 4096, chunk);
    if (buffer.size() < want) buffer.resize(want);
    MdCtx ctx(EVP_MD_CTX_new());
    if (!ctx || EVP_DigestInit_ex(ctx.get(), EVP_sha256(), nullptr) != 1) return std::nullopt;
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    for (;;) {
        ssize_t got = ::read(fd, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return std::nullopt;
        if (got == 0) break;
        if (EVP_DigestUpdate(ctx.get(), buffer.data(), static_cast<std::size_t>(got)) != 1)
            return std::nullopt;
    }
    Digest digest{};
    unsigned int size = 0;
    if (EVP_DigestFinal_ex(ctx.get(), digest.data(), &size) != 1 || size != digest.size())
        return std::nullopt;
    return digest;
}

std::string toHex(const Digest& digest) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(digest.size() * 2);
    for (unsigned char byte : digest) {
        text.push_back(digits[byte >> 4]);
        text.push_back(digits[byte & 15]);
    }
    return text;
}

std::optional<Digest> digestFromHex(std::string_view text) {
    Digest digest{};
    if (text.size() != digest.size() * 2) return std::nullopt;
    for (std::size_t i = 0; i < digest.size(); ++i) {
        int high = hexValue(text[2 * i]);
        int low = hexValue(text[2 * i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        digest[i] = static_cast<unsigned char>(high * 16 + low);
    }
    return digest;
}

} // namespace host::bundles
