#pragma once
// The three files of a bundle's seal, kept in Contents/_CodeSignature/:
//   CodeResources  every file of the bundle (path relative to the bundle) → its SHA-256
//                  and whether it may be executed, every symbolic link → its target, and
//                  every folder; the bundle itself and the seal's own folder are left out.
//   CodeDirectory  identifier, optional team, main executable (relative path + SHA-256)
//                  and the SHA-256 of CodeResources. The cdhash is the SHA-256 of this file.
//   CodeSignature  optional: an Ed25519 public key and its signature over CodeDirectory.
// Each is an XML property list. Parsing checks shape only; seal.h checks meaning.

#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "host/platform/linux/bundles/sha256.h"

namespace host::bundles {

inline constexpr const char* kSealFolder = "Contents/_CodeSignature";
inline constexpr const char* kCodeResourcesName = "CodeResources";
inline constexpr const char* kCodeDirectoryName = "CodeDirectory";
inline constexpr const char* kCodeSignatureName = "CodeSignature";
inline constexpr std::size_t kSealFileLimit = 64u << 20;

struct SealedFile {
    Digest digest{};
    bool executable = false; // any execute bit set when sealed
    bool operator==(const SealedFile&) const = default;
};

struct CodeResources {
    std::map<std::string, SealedFile> files;
    std::map<std::string, std::string> symlinks; // relative path → link target
    std::set<std::string> folders;
};

struct CodeDirectory {
    std::string identifier;
    std::optional<std::string> teamIdentifier;
    std::string mainExecutable; // relative to the bundle, e.g. Contents/MacOS/App
    Digest mainExecutableHash{};
    Digest resourcesHash{};
};

struct CodeSignatureRecord {
    std::vector<unsigned char> publicKey; // raw Ed25519, 32 bytes
    std::vector<unsigned char> signature; // 64 bytes
};

// Nothing when the bytes are not a property list of the expected shape (of this format's
// version: a seal made before the executable bits and folders were recorded vouches for
// neither, and does not read).
std::optional<CodeResources> parseCodeResources(std::span<const unsigned char> bytes);
std::optional<CodeDirectory> parseCodeDirectory(std::span<const unsigned char> bytes);
std::optional<CodeSignatureRecord> parseCodeSignature(std::span<const unsigned char> bytes);

std::string serialize(const CodeResources& resources);
std::string serialize(const CodeDirectory& directory);
std::string serialize(const CodeSignatureRecord& record);

// A relative path as the seal records it: non-empty, no leading or trailing '/', no empty,
// "." or ".." component, no NUL.
bool isCleanRelativePath(std::string_view path);

} // namespace host::bundles
