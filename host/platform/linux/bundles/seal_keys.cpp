#include "host/platform/linux/bundles/seal_keys.h"

#include "common/unique_handle.h"

#include <cstdio>
#include <fcntl.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <sys/stat.h>
#include <unistd.h>

#include "host/platform/linux/bundles/sha256.h"

namespace host::bundles {
namespace {

using MdCtx = common::Owned<EVP_MD_CTX, EVP_MD_CTX_free>;

constexpr std::size_t kTeamLength = 10;

} // namespace

void freeKey(evp_pkey_st* key) noexcept {
    EVP_PKEY_free(key);
}

PrivateKey generateSigningKey() {
    common::Owned<EVP_PKEY_CTX, EVP_PKEY_CTX_free> ctx(
        EVP_PKEY_CTX_new_id(EVP_PKEY_ED25519, nullptr));
    if (!ctx || EVP_PKEY_keygen_init(ctx.get()) != 1) return nullptr;
    EVP_PKEY* key = nullptr;
    if (EVP_PKEY_keygen(ctx.get(), &key) != 1) return nullptr;
    return PrivateKey(key);
}

PrivateKey loadSigningKey(const std::string& pemPath) {
    common::Owned<BIO, BIO_free> bio(BIO_new_file(pemPath.c_str(), "r"));
    if (!bio) return nullptr;
    PrivateKey key(PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr));
    if (!key || EVP_PKEY_get_id(key.get()) != EVP_PKEY_ED25519) return nullptr;
    return key;
}

bool saveSigningKey(const PrivateKey& key, const std::string& pemPath) {
    int fd = ::open(pemPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return false;
    common::Owned<std::FILE, std::fclose> file(::fdopen(fd, "w"));
    if (!file) {
        ::close(fd);
        return false;
    }
    if (PEM_write_PrivateKey(file.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) != 1)
        return false;
    return std::fflush(file.get()) == 0;
}

std::optional<std::vector<unsigned char>> rawPublicKey(const PrivateKey& key) {
    std::vector<unsigned char> raw(32);
    std::size_t size = raw.size();
    if (!key || EVP_PKEY_get_raw_public_key(key.get(), raw.data(), &size) != 1 || size != 32)
        return std::nullopt;
    return raw;
}

std::optional<std::vector<unsigned char>> signEd25519(const PrivateKey& key,
                                                      std::span<const unsigned char> message) {
    MdCtx ctx(EVP_MD_CTX_new());
    if (!ctx || EVP_DigestSignInit(ctx.get(), nullptr, nullptr, nullptr, key.get()) != 1)
        return std::nullopt;
    std::vector<unsigned char> signature(64);
    std::size_t size = signature.size();
    if (EVP_DigestSign(ctx.get(), signature.data(), &size, message.data(), message.size()) != 1 ||
        size != 64)
        return std::nullopt;
    return signature;
}

bool verifyEd25519(std::span<const unsigned char> rawPublicKey,
                   std::span<const unsigned char> message,
                   std::span<const unsigned char> signature) {
    KeyHandle key(EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, rawPublicKey.data(),
                                              rawPublicKey.size()));
    MdCtx ctx(EVP_MD_CTX_new());
    if (!key || !ctx || EVP_DigestVerifyInit(ctx.get(), nullptr, nullptr, nullptr, key.get()) != 1)
        return false;
    return EVP_DigestVerify(ctx.get(), signature.data(), signature.size(), message.data(),
                            message.size()) == 1;
}

std::string teamIdentifierForKey(std::span<const unsigned char> rawPublicKey) {
    static constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ234567";
    Digest digest = sha256(rawPublicKey);
    std::string team;
    unsigned buffer = 0;
    int bits = 0;
    for (unsigned char byte : digest) {
        buffer = (buffer << 8) | byte;
        bits += 8;
        while (bits >= 5 && team.size() < kTeamLength) {
            team.push_back(alphabet[(buffer >> (bits - 5)) & 31]);
            bits -= 5;
        }
        if (team.size() == kTeamLength) break;
        buffer &= (1u << bits) - 1;
    }
    return team;
}

} // namespace host::bundles
