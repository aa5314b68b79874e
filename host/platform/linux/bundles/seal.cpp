#include "host/platform/linux/bundles/seal.h"

#include <algorithm>
#include <sys/stat.h>

#include "host/platform/linux/bundles/file_hasher.h"
#include "host/platform/linux/bundles/info_plist.h"
#include "host/platform/linux/bundles/plist_document.h"
#include "host/platform/linux/bundles/requirement.h"
#include "host/platform/linux/bundles/seal_keys.h"

namespace host::bundles {
namespace {

SealCheck fail(SealFault fault, std::string path = {}, std::optional<Seal> seal = std::nullopt) {
    return SealCheck{fault, std::move(path), std::move(seal)};
}

std::string sealFile(const std::string& root, const char* name) {
    return root + "/" + kSealFolder + "/" + name;
}

bool exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

// Folders the seal lists: all but the bundle itself and the seal's own folder.
bool isListedFolder(const std::string& path) {
    return path != kBundleItself && path != kSealFolder;
}

// Files, folders and links on disk against the lists of CodeResources: presence and kind,
// and each file's executable bit.
SealCheck compareListings(const BundleTree& tree, const CodeResources& resources) {
    for (const auto& name : tree.sealFolderEntries) {
        if (name != kCodeResourcesName && name != kCodeDirectoryName && name != kCodeSignatureName)
            return fail(SealFault::UnlistedFile, std::string(kSealFolder) + "/" + name);
    }
    for (const auto& [path, facts] : tree.files) {
        if (!resources.files.count(path)) return fail(SealFault::UnlistedFile, path);
    }
    for (const auto& [path, facts] : tree.folders) {
        if (isListedFolder(path) && !resources.folders.count(path))
            return fail(SealFault::UnlistedFile, path);
    }
    for (const auto& [path, target] : tree.symlinks) {
        if (!resources.symlinks.count(path) && !resources.files.count(path) &&
            !resources.folders.count(path))
            return fail(SealFault::UnlistedFile, path);
    }
    for (const auto& [path, sealed] : resources.files) {
        auto found = tree.files.find(path);
        if (found == tree.files.end()) {
            if (tree.symlinks.count(path)) return fail(SealFault::ModifiedFile, path);
            return fail(SealFault::MissingFile, path);
        }
        if (found->second.executable != sealed.executable)
            return fail(SealFault::ExecutableChanged, path);
    }
    for (const auto& path : resources.folders) {
        if (!tree.folders.count(path)) {
            if (tree.symlinks.count(path)) return fail(SealFault::ModifiedFile, path);
            return fail(SealFault::MissingFile, path);
        }
    }
    for (const auto& [path, target] : resources.symlinks) {
        auto found = tree.symlinks.find(path);
        if (found == tree.symlinks.end()) {
            if (tree.files.count(path)) return fail(SealFault::ModifiedFile, path);
            return fail(SealFault::MissingFile, path);
        }
        if (found->second != target) return fail(SealFault::ModifiedFile, path);
    }
    return {};
}

} // namespace

SealCheck findUnsealable(const BundleTree& tree) {
    for (const auto& [path, folder] : tree.folders) {
        if (folder.writableByAnyone) return fail(SealFault::WritableByAnyone, path);
    }
    for (const auto& [path, file] : tree.files) {
        if (file.setId || file.capabilities) return fail(SealFault::PrivilegedFile, path);
        if (file.writableByAnyone) return fail(SealFault::WritableByAnyone, path);
    }
    return {};
}

SealCheck readSeal(const std::string& bundleRoot) {
    auto directoryBytes = readSmallFile(sealFile(bundleRoot, kCodeDirectoryName), kSealFileLimit);
    if (!directoryBytes) return fail(SealFault::NotSealed);
    auto directory = parseCodeDirectory(*directoryBytes);
    if (!directory)
        return fail(SealFault::MalformedSeal, std::string(kSealFolder) + "/CodeDirectory");

    Seal seal;
    seal.directory = std::move(*directory);
    seal.cdhash = sha256(*directoryBytes);

    const std::string signaturePath = sealFile(bundleRoot, kCodeSignatureName);
    if (exists(signaturePath)) {
        auto bytes = readSmallFile(signaturePath, kSealFileLimit);
        auto record = bytes ? parseCodeSignature(*bytes) : std::nullopt;
        if (!record)
            return fail(SealFault::MalformedSeal, std::string(kSealFolder) + "/CodeSignature");
        if (!verifyEd25519(record->publicKey, *directoryBytes, record->signature))
            return fail(SealFault::BadSignature);
        if (seal.directory.teamIdentifier != teamIdentifierForKey(record->publicKey))
            return fail(SealFault::TeamMismatch);
        seal.hasSignature = true;
    } else if (seal.directory.teamIdentifier) {
        return fail(SealFault::TeamMismatch);
    }

    auto resourcesBytes = readSmallFile(sealFile(bundleRoot, kCodeResourcesName), kSealFileLimit);
    if (!resourcesBytes) return fail(SealFault::NotSealed);
    if (sha256(*resourcesBytes) != seal.directory.resourcesHash)
        return fail(SealFault::ResourcesModified);
    auto resources = parseCodeResources(*resourcesBytes);
    if (!resources)
        return fail(SealFault::MalformedSeal, std::string(kSealFolder) + "/CodeResources");
    seal.resources = std::move(*resources);

    auto listed = seal.resources.files.find(seal.directory.mainExecutable);
    if (listed == seal.resources.files.end() ||
        listed->second.digest != seal.directory.mainExecutableHash)
        return fail(SealFault::ExecutableMismatch, seal.directory.mainExecutable);
    return SealCheck{SealFault::None, {}, std::move(seal)};
}

SealCheck validateSeal(const std::string& bundleRoot) {
    // Read once here, then judged as given: it names the executable and is a sealed file.
    auto info = readSmallFile(bundleRoot + "/" + kInfoPlistPath, kInfoPlistLimit);
    return validateSeal(bundleRoot, info ? std::span<const unsigned char>(*info)
                                         : std::span<const unsigned char>());
}

SealCheck validateSeal(const std::string& bundleRoot, std::span<const unsigned char> infoPlist) {
    SealCheck check = readSeal(bundleRoot);
    if (!check.valid()) return check;
    const Seal& seal = *check.seal;
    auto failWithSeal = [&](SealFault fault, std::string path = {}) {
        return fail(fault, std::move(path), check.seal);
    };

    PlistPtr info = parseInfoPlist(infoPlist);
    auto declared = info ? mainExecutableRelativePath(info.get()) : std::nullopt;
    if (declared != seal.directory.mainExecutable)
        return failWithSeal(SealFault::ExecutableMismatch, seal.directory.mainExecutable);

    auto tree = walkBundle(bundleRoot);
    if (!tree) return failWithSeal(SealFault::UnreadableBundle);
    SealCheck unsealable = findUnsealable(*tree);
    if (!unsealable.valid()) return failWithSeal(unsealable.fault, unsealable.path);
    SealCheck listing = compareListings(*tree, seal.resources);
    if (!listing.valid()) return failWithSeal(listing.fault, listing.path);
    for (const auto& [path, target] : seal.resources.symlinks) {
        if (!symlinkStaysInside(bundleRoot, path, target))
            return failWithSeal(SealFault::SymlinkLeavesBundle, path);
    }

    // Every listed file but Info.plist is hashed from disk; Info.plist as given.
    std::vector<FileToHash> files;
    std::vector<const std::pair<const std::string, SealedFile>*> expected;
    files.reserve(seal.resources.files.size());
    for (const auto& entry : seal.resources.files) {
        if (entry.first == kInfoPlistPath) {
            if (sha256(infoPlist) != entry.second.digest)
                return failWithSeal(SealFault::ModifiedFile, entry.first);
            continue;
        }
        files.push_back({bundleRoot + "/" + entry.first, tree->files.at(entry.first).size});
        expected.push_back(&entry);
    }
    auto digests = hashFiles(files);
    for (std::size_t i = 0; i < digests.size(); ++i) {
        if (digests[i] != expected[i]->second.digest)
            return failWithSeal(SealFault::ModifiedFile, expected[i]->first);
    }
    return check;
}

const char* describe(SealFault fault) {
    switch (fault) {
    case SealFault::None:
        return "valid";
    case SealFault::NotSealed:
        return "not sealed";
    case SealFault::MalformedSeal:
        return "malformed seal";
    case SealFault::BadSignature:
        return "signature does not verify";
    case SealFault::TeamMismatch:
        return "team identifier does not match the signing key";
    case SealFault::ResourcesModified:
        return "CodeResources modified";
    case SealFault::ExecutableMismatch:
        return "main executable does not match the seal";
    case SealFault::UnreadableBundle:
        return "bundle cannot be read";
    case SealFault::PrivilegedFile:
        return "file carries set-id bits or capabilities";
    case SealFault::WritableByAnyone:
        return "writable by anyone";
    case SealFault::MissingFile:
        return "sealed file missing";
    case SealFault::UnlistedFile:
        return "file not in the seal";
    case SealFault::ModifiedFile:
        return "sealed file modified";
    case SealFault::ExecutableChanged:
        return "executable bit of a sealed file changed";
    case SealFault::SymlinkLeavesBundle:
        return "symbolic link leaves the bundle";
    }
    return "invalid";
}

std::string designatedRequirementText(const Seal& seal) {
    if (seal.hasSignature && seal.directory.teamIdentifier)
        return "identifier " + quoteRequirementString(seal.directory.identifier) +
               " and certificate leaf[subject.OU] = " +
               quoteRequirementString(*seal.directory.teamIdentifier);
    return "cdhash H\"" + toHex(seal.cdhash) + "\"";
}

} // namespace host::bundles
