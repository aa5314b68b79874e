#include "host/platform/linux/bundles/bundle_tree.h"

#include <cerrno>
#include <filesystem>
#include <sys/xattr.h>

#include "host/platform/linux/bundles/seal_format.h"

namespace host::bundles {

namespace fs = std::filesystem;

namespace {

bool has(fs::perms permissions, fs::perms bits) {
    return (permissions & bits) != fs::perms::none;
}

// Whether the file carries capabilities; nothing when its attributes cannot be read.
std::optional<bool> hasCapabilities(const fs::path& path) {
    if (::lgetxattr(path.c_str(), "security.capability", nullptr, 0) >= 0) return true;
    // No such attribute, or a file system without extended attributes: none granted.
    if (errno == ENODATA || errno == ENOTSUP) return false;
    return std::nullopt;
}

std::optional<FileFacts> fileFacts(const fs::directory_entry& entry, fs::perms permissions) {
    std::error_code error;
    FileFacts facts;
    facts.size = entry.file_size(error);
    if (error) return std::nullopt;
    auto capabilities = hasCapabilities(entry.path());
    if (!capabilities) return std::nullopt;
    facts.executable =
        has(permissions, fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec);
    facts.setId = has(permissions, fs::perms::set_uid | fs::perms::set_gid);
    facts.capabilities = *capabilities;
    facts.writableByAnyone = has(permissions, fs::perms::others_write);
    return facts;
}

} // namespace

std::optional<BundleTree> walkBundle(const std::string& root) {
    std::error_code error;
    BundleTree tree;
    const fs::path base(root);
    const fs::file_status itself = fs::symlink_status(base, error);
    if (error || !fs::is_directory(itself)) return std::nullopt;
    tree.folders.emplace(kBundleItself,
                         FolderFacts{has(itself.permissions(), fs::perms::others_write)});

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
            tree.folders.emplace(relative,
                                 FolderFacts{has(status.permissions(), fs::perms::others_write)});
            if (relative == kSealFolder) {
                it.disable_recursion_pending();
                fs::directory_iterator inner(entry.path(), error);
                for (; !error && inner != fs::directory_iterator(); inner.increment(error))
                    tree.sealFolderEntries.push_back(inner->path().filename().string());
                if (error) return std::nullopt;
            }
        } else if (fs::is_regular_file(status)) {
            auto facts = fileFacts(entry, status.permissions());
            if (!facts) return std::nullopt;
            tree.files.emplace(std::move(relative), *facts);
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
