#include "host/inventory/resolved_path.h"

#include <filesystem>
#include <system_error>

namespace host {

std::optional<std::string> resolvedPath(const std::string& path) {
    // A NUL byte ends the name the file system sees: "A.app\0/../../x" would be judged as
    // A.app. No file is named with one, so such a path names nothing.
    if (path.empty() || path.find('\0') != std::string::npos) return std::nullopt;
    std::error_code error;
    auto absolute = std::filesystem::absolute(path, error);
    if (error) return std::nullopt;
    // A location that does not exist (yet) keeps its normalised spelling: what exists of it
    // is resolved, and the bundle lookup then finds nothing there.
    auto resolved = std::filesystem::weakly_canonical(absolute, error);
    if (error) return std::nullopt;
    return resolved.string();
}

} // namespace host
