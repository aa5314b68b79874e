#pragma once
// What a bundle holds on disk: its files and symbolic links by relative path, and the
// entries of the seal's own folder, which the seal does not list.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace host::bundles {

struct BundleTree {
    std::map<std::string, std::uint64_t> files;  // relative path → size
    std::map<std::string, std::string> symlinks; // relative path → link target
    std::vector<std::string> sealFolderEntries;  // names in Contents/_CodeSignature
};

// Walks the bundle without following symbolic links. Nothing when a folder cannot be read
// or something other than a file, folder or symbolic link is found (a FIFO, a socket, a
// device), since those cannot be sealed.
std::optional<BundleTree> walkBundle(const std::string& root);

// Whether the symbolic link at `relativePath` with `target` resolves to a place inside
// the bundle (followed through the links on disk). Absolute targets never do: they
// would name another place as soon as the bundle is moved.
bool symlinkStaysInside(const std::string& root, const std::string& relativePath,
                        const std::string& target);

} // namespace host::bundles
