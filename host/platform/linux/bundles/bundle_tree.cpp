#include "host/platform/linux/bundles/bundle_tree.h"

#include <filesystem>

#include "host/platform/linux/bundles/seal_format.h"

namespace host::bundles {

namespace fs = std::filesystem;

std::optional<BundleTree> walkBundle(const std::string& root) {
    std::error_code error;
    BundleTree tree;
    const fs::path base(root);
    fs::recursive_directory_iterator it(base, fs::directory_options::none, error);
    if (error) return std::nullopt;
    for (; it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (error) return std::nullopt;
        const fs::directory_entry& entry = *it;
        std::string relative = entry.path().lexically_relative(base).generic_string();
        fs::file_status status = entry.symlink_status(error);
        if (error) return std::nullopt;
        if (fs::is_symlink(status)) {
            fs::path target = fs::read_symlink(entry.path(), error);
            if (error) return std::nullopt;
            tree.symlinks.emplace(relative, target.string());
        } else if (fs::is_directory(status)) {
            if (relative == kSealFolder) {
                it.disable_recursion_pending();
                fs::directory_iterator inner(entry.path(), error);
                for (; !error && inner != fs::directory_iterator(); inner.increment(error))
                    tree.sealFolderEntries.push_back(inner->path().filename().string());
                if (error) return std::nullopt;
            }
        } else if (fs::is_regular_file(status)) {
            auto size = entry.file_size(error);
            if (error) return std::nullopt;
            tree.files.emplace(relative, size);
        } else {
            return std::nullopt;
        }
    }
    if (error) return std::nullopt;
    return tree;
}

bool symlinkStaysInside(const std::string& root, const std::string& relativePath,
                        const std::string& target) {
    if (target.empty() || fs::path(target).is_absolute()) return false;
    std::error_code error;
    fs::path base = fs::canonical(root, error);
    if (error) return false;
    fs::path link = base / fs::path(relativePath);
    fs::path resolved = fs::weakly_canonical(link.parent_path() / fs::path(target), error);
    if (error) return false;
    std::string inside = resolved.generic_string();
    std::string top = base.generic_string();
    return inside == top || (inside.size() > top.size() &&
                             inside.compare(0, top.size(), top) == 0 && inside[top.size()] == '/');
}

} // namespace host::bundles
