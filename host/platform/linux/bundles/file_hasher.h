#pragma once
// Hashes many files at once, on both cores when there are enough bytes to share: the bundle
// checks read every byte of a bundle on every window request, so this is the host's hot path.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/platform/linux/bundles/sha256.h"

namespace host::bundles {

struct FileToHash {
    std::string path;       // absolute
    std::uint64_t size = 0; // expected size; only used to schedule big files first
};

// One result per file, in the order given. A file that is not a regular file (a final
// symbolic link is not followed), cannot be opened or fails to read yields nothing.
std::vector<std::optional<Digest>> hashFiles(const std::vector<FileToHash>& files);

// Hashes one regular file by path, without following a final symbolic link.
std::optional<Digest> hashFile(const std::string& path);

} // namespace host::bundles
