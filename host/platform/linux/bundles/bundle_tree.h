#pragma once
// What a bundle holds on disk: its files, folders and symbolic links by relative path, what
// each may do beyond being read (execute, run with another identity, be rewritten by
// anyone), and the entries of the seal's own folder, which the seal does not list.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace host::bundles {

// The bundle itself among the folders.
inline constexpr const char* kBundleItself = ".";

struct FileFacts {
    std::uint64_t size = 0;
    bool executable = false;       // any of the three execute bits
    bool setId = false;            // set-user-ID or set-group-ID
    bool capabilities = false;     // carries file capabilities (security.capability)
    bool writableByAnyone = false; // the others' write bit
};

struct FolderFacts {
    bool writableByAnyone = false; // anyone may add, remove or replace what it holds
};

struct BundleTree {
    std::map<std::string, FileFacts> files;      // relative path → facts
    std::map<std::string, std::string> symlinks; // relative path → link target
    // Every folder, the bundle itself (kBundleItself) and the seal's folder included.
    std::map<std::string, FolderFacts> folders;
    std::vector<std::string> sealFolderEntries; // names in Contents/_CodeSignature
};

// Walks the bundle without following symbolic links. Nothing when a folder or an attribute
// cannot be read, or something other than a file, folder or symbolic link is found (a
// FIFO, a socket, a device), since those cannot be sealed.
std::optional<BundleTree> walkBundle(const std::string& root);

// Whether the symbolic link at `relativePath` with `target` resolves to a place inside
// the bundle (followed through the links on disk). Absolute targets never do: they
// would name another place as soon as the bundle is moved.
bool symlinkStaysInside(const std::string& root, const std::string& relativePath,
                        const std::string& target);

} // namespace host::bundles
