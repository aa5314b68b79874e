#include "host/inventory/resolved_path.h"

#include <filesystem>
#include <system_error>

namespace host {

std::optional<std::string> resolvedPath(const std::string& path) {
    if (path.empty()) return std::nullopt;
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
