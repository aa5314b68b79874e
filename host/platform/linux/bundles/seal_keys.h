#pragma once
// Ed25519 keys of the seal, through OpenSSL. A signed seal's team identifier is derived
// from its public key, so a team cannot be claimed without holding the key.

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/unique_handle.h"

struct evp_pkey_st;

namespace host::bundles {

void freeKey(evp_pkey_st* key) noexcept;
using KeyHandle = common::Owned<evp_pkey_st, freeKey>;
using PrivateKey = KeyHandle;

// A fresh key pair.
PrivateKey generateSigningKey();
// An Ed25519 private key from a PEM file; nothing when unreadable or of another type.
PrivateKey loadSigningKey(const std::string& pemPath);
// Writes the private key as PEM, readable by the owner only. False on failure.
bool saveSigningKey(const PrivateKey& key, const std::string& pemPath);

std::optional<std::vector<unsigned char>> rawPublicKey(const PrivateKey& key);
std::optional<std::vector<unsigned char>> signEd25519(const PrivateKey& key,
                                                      std::span<const unsigned char> message);
bool verifyEd25519(std::span<const unsigned char> rawPublicKey,
                   std::span<const unsigned char> message,
                   std::span<const unsigned char> signature);

// The first 10 characters of the base32 (RFC 4648, upper case) SHA-256 of the raw key.
std::string teamIdentifierForKey(std::span<const unsigned char> rawPublicKey);

} // namespace host::bundles
