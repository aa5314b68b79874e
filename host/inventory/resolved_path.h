#pragma once
// File locations as the inventory compares them: absolute, with every symbolic link resolved.

#include <optional>
#include <string>

namespace host {

// `path` made absolute (against the current directory) with every symbolic link of its
// existing part resolved and the rest normalised. Nothing for the empty path, a path with a
// NUL byte, or when the file system refuses to resolve it (a link loop, an unreadable
// directory).
std::optional<std::string> resolvedPath(const std::string& path);

} // namespace host
