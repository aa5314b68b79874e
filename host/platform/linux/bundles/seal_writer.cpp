#include "host/platform/linux/bundles/seal_writer.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "host/platform/linux/bundles/bundle_tree.h"
#include "host/platform/linux/bundles/file_hasher.h"
#include "host/platform/linux/bundles/info_plist.h"
#include "host/platform/linux/bundles/seal.h"
#include "host/platform/linux/bundles/seal_format.h"
#include "host/platform/linux/bundles/unique_fd.h"

namespace host::bundles {
namespace {

namespace fs = std::filesystem;

SealOutcome failure(std::string message) {
    return SealOutcome{false, std::move(message)};
}

// Written under a temporary name and renamed, so a reader never sees half a seal file.
bool writeFileAtomically(const std::string& path, std::string_view bytes) {
    const std::string temporary = path + ".tmp";
    {
        UniqueFd fd(
            ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644));
        if (!fd) return false;
        std::size_t done = 0;
        while (done < bytes.size()) {
            ssize_t wrote = ::write(fd.get(), bytes.data() + done, bytes.size() - done);
            if (wrote < 0 && errno == EINTR) continue;
            if (wrote <= 0) return false;
            done += static_cast<std::size_t>(wrote);
        }
    }
    return ::rename(temporary.c_str(), path.c_str()) == 0;
}

bool hasControlCharacter(std::string_view text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; });
}

} // namespace

SealOutcome sealBundle(const std::string& bundleRoot, const PrivateKey* key) {
    PlistPtr info = readInfoPlist(bundleRoot);
    if (!info) return failure("Contents/Info.plist is missing or not a dictionary");
    auto identifier = dictString(info.get(), "CFBundleIdentifier");
    if (!identifier || identifier->empty() || hasControlCharacter(*identifier))
        return failure("Info.plist declares no usable CFBundleIdentifier");
    auto executable = mainExecutableRelativePath(info.get());
    if (!executable) return failure("Info.plist declares no usable CFBundleExecutable");

    std::error_code error;
    const fs::path folder = fs::path(bundleRoot) / kSealFolder;
    fs::remove_all(folder, error);
    if (error) return failure("cannot remove the old seal");

    auto tree = walkBundle(bundleRoot);
    if (!tree) return failure("the bundle cannot be read, or holds a FIFO, socket or device");
    // What strict validation would reject is never sealed, and the reason is the same.
    SealCheck unsealable = findUnsealable(*tree);
    if (!unsealable.valid())
        return failure(std::string(describe(unsealable.fault)) + ": " + unsealable.path);
    if (!tree->files.count(*executable))
        return failure(*executable + " is not a regular file in the bundle");

    CodeResources resources;
    for (const auto& [path, target] : tree->symlinks) {
        if (!symlinkStaysInside(bundleRoot, path, target))
            return failure("symbolic link leaves the bundle: " + path);
        resources.symlinks.emplace(path, target);
    }
    for (const auto& [path, facts] : tree->folders) {
        if (path != kBundleItself) resources.folders.insert(path);
    }
    std::vector<FileToHash> files;
    for (const auto& [path, facts] : tree->files)
        files.push_back({bundleRoot + "/" + path, facts.size});
    auto digests = hashFiles(files);
    std::size_t index = 0;
    for (const auto& [path, facts] : tree->files) {
        if (!digests[index]) return failure("cannot read " + path);
        resources.files.emplace(path, SealedFile{*digests[index++], facts.executable});
    }

    CodeDirectory directory;
    directory.identifier = *identifier;
    directory.mainExecutable = *executable;
    directory.mainExecutableHash = resources.files.at(*executable).digest;
    const std::string resourcesText = serialize(resources);
    directory.resourcesHash = sha256(resourcesText);

    std::optional<CodeSignatureRecord> signature;
    if (key) {
        auto publicKey = rawPublicKey(*key);
        if (!publicKey) return failure("the key is not an Ed25519 private key");
        directory.teamIdentifier = teamIdentifierForKey(*publicKey);
        signature = CodeSignatureRecord{std::move(*publicKey), {}};
    }
    const std::string directoryText = serialize(directory);
    if (signature) {
        auto bytes = std::span(reinterpret_cast<const unsigned char*>(directoryText.data()),
                               directoryText.size());
        auto signed_ = signEd25519(*key, bytes);
        if (!signed_) return failure("signing failed");
        signature->signature = std::move(*signed_);
    }

    // Owner-writable only, whatever the umask: a seal folder others may write is refused.
    fs::create_directory(folder, error);
    if (!error)
        fs::permissions(folder,
                        fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                            fs::perms::others_read | fs::perms::others_exec,
                        error);
    if (error) return failure("cannot create " + std::string(kSealFolder));
    const std::string base = folder.string() + "/";
    if (!writeFileAtomically(base + kCodeResourcesName, resourcesText) ||
        !writeFileAtomically(base + kCodeDirectoryName, directoryText) ||
        (signature && !writeFileAtomically(base + kCodeSignatureName, serialize(*signature))))
        return failure("cannot write the seal files");
    return SealOutcome{true, {}};
}

} // namespace host::bundles
