#include "host/platform/linux/bundles/seal_format.h"

#include "host/platform/linux/bundles/plist_document.h"

namespace host::bundles {
namespace {

constexpr std::uint64_t kFormatVersion = 2;

PlistPtr parseDictionary(std::span<const unsigned char> bytes) {
    PlistPtr root = parsePlist(bytes);
    if (!root || plist_get_node_type(root.get()) != PLIST_DICT) return nullptr;
    if (dictUnsigned(root.get(), "version") != kFormatVersion) return nullptr;
    return root;
}

std::optional<Digest> dictDigest(plist_t dict, const char* key) {
    auto text = dictString(dict, key);
    return text ? digestFromHex(*text) : std::nullopt;
}

// Identifiers and teams end up in requirement text, whose strings hold no control
// characters; NUL would not survive a property list either.
bool isPrintable(const std::string& text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return false;
    }
    return !text.empty();
}

PlistPtr newVersionedDictionary() {
    PlistPtr root(plist_new_dict());
    plist_dict_set_item(root.get(), "version", plist_new_uint(kFormatVersion));
    return root;
}

void setString(plist_t dict, const char* key, const std::string& value) {
    plist_dict_set_item(dict, key, plist_new_string(value.c_str()));
}

// Inside the seal's own folder, which the seal cannot list.
bool isInSealFolder(std::string_view path) {
    const std::string_view folder = kSealFolder;
    return path.starts_with(folder) && (path.size() == folder.size() || path[folder.size()] == '/');
}

std::optional<SealedFile> sealedFile(plist_t entry) {
    if (!entry || plist_get_node_type(entry) != PLIST_DICT || plist_dict_get_size(entry) != 2)
        return std::nullopt;
    auto digest = dictDigest(entry, "hash");
    auto executable = dictBool(entry, "executable");
    if (!digest || !executable) return std::nullopt;
    return SealedFile{*digest, *executable};
}

void setData(plist_t dict, const char* key, const std::vector<unsigned char>& value) {
    plist_dict_set_item(dict, key,
                        plist_new_data(reinterpret_cast<const char*>(value.data()), value.size()));
}

} // namespace

bool isCleanRelativePath(std::string_view path) {
    if (path.empty() || path.find('\0') != std::string_view::npos) return false;
    std::size_t start = 0;
    for (;;) {
        std::size_t slash = path.find('/', start);
        std::string_view part = path.substr(
            start, slash == std::string_view::npos ? std::string_view::npos : slash - start);
        if (part.empty() || part == "." || part == "..") return false;
        if (slash == std::string_view::npos) return true;
        start = slash + 1;
    }
}

std::optional<CodeResources> parseCodeResources(std::span<const unsigned char> bytes) {
    PlistPtr root = parseDictionary(bytes);
    if (!root) return std::nullopt;
    plist_t files = dictDictionary(root.get(), "files");
    plist_t links = dictDictionary(root.get(), "symlinks");
    auto folders = dictStringArray(root.get(), "folders");
    if (!files || !links || !folders) return std::nullopt;
    auto fileEntries = entries(files);
    auto linkEntries = stringEntries(links);
    if (!fileEntries || !linkEntries) return std::nullopt;

    // Each path names one thing: a file, a link or a folder, never two of them.
    CodeResources resources;
    for (const auto& [path, entry] : *fileEntries) {
        auto file = sealedFile(entry);
        if (!file || !isCleanRelativePath(path) || isInSealFolder(path)) return std::nullopt;
        resources.files.emplace(path, *file);
    }
    for (const auto& [path, target] : *linkEntries) {
        if (!isCleanRelativePath(path) || isInSealFolder(path) || target.empty() ||
            target.find('\0') != std::string::npos)
            return std::nullopt;
        if (resources.files.count(path)) return std::nullopt;
        resources.symlinks.emplace(path, target);
    }
    for (const auto& path : *folders) {
        if (!isCleanRelativePath(path) || isInSealFolder(path) || resources.files.count(path) ||
            resources.symlinks.count(path) || !resources.folders.insert(path).second)
            return std::nullopt;
    }
    return resources;
}

std::optional<CodeDirectory> parseCodeDirectory(std::span<const unsigned char> bytes) {
    PlistPtr root = parseDictionary(bytes);
    if (!root) return std::nullopt;
    CodeDirectory directory;
    auto identifier = dictString(root.get(), "identifier");
    auto executable = dictString(root.get(), "mainExecutable");
    auto executableHash = dictDigest(root.get(), "mainExecutableHash");
    auto resourcesHash = dictDigest(root.get(), "resourcesHash");
    if (!identifier || !isPrintable(*identifier) || !executable ||
        !isCleanRelativePath(*executable) || !executableHash || !resourcesHash)
        return std::nullopt;
    if (plist_dict_get_item(root.get(), "teamIdentifier")) {
        directory.teamIdentifier = dictString(root.get(), "teamIdentifier");
        if (!directory.teamIdentifier || !isPrintable(*directory.teamIdentifier))
            return std::nullopt;
    }
    directory.identifier = *identifier;
    directory.mainExecutable = *executable;
    directory.mainExecutableHash = *executableHash;
    directory.resourcesHash = *resourcesHash;
    return directory;
}

std::optional<CodeSignatureRecord> parseCodeSignature(std::span<const unsigned char> bytes) {
    PlistPtr root = parseDictionary(bytes);
    if (!root) return std::nullopt;
    auto key = dictData(root.get(), "publicKey");
    auto signature = dictData(root.get(), "signature");
    if (!key || key->size() != 32 || !signature || signature->size() != 64) return std::nullopt;
    return CodeSignatureRecord{std::move(*key), std::move(*signature)};
}

std::string serialize(const CodeResources& resources) {
    PlistPtr root = newVersionedDictionary();
    plist_t files = plist_new_dict();
    for (const auto& [path, file] : resources.files) {
        plist_t entry = plist_new_dict();
        setString(entry, "hash", toHex(file.digest));
        plist_dict_set_item(entry, "executable", plist_new_bool(file.executable));
        plist_dict_set_item(files, path.c_str(), entry);
    }
    plist_dict_set_item(root.get(), "files", files);
    plist_t links = plist_new_dict();
    for (const auto& [path, target] : resources.symlinks)
        setString(links, path.c_str(), target);
    plist_dict_set_item(root.get(), "symlinks", links);
    plist_t folders = plist_new_array();
    for (const auto& path : resources.folders)
        plist_array_append_item(folders, plist_new_string(path.c_str()));
    plist_dict_set_item(root.get(), "folders", folders);
    return toXml(root.get());
}

std::string serialize(const CodeDirectory& directory) {
    PlistPtr root = newVersionedDictionary();
    setString(root.get(), "identifier", directory.identifier);
    if (directory.teamIdentifier)
        setString(root.get(), "teamIdentifier", *directory.teamIdentifier);
    setString(root.get(), "mainExecutable", directory.mainExecutable);
    setString(root.get(), "mainExecutableHash", toHex(directory.mainExecutableHash));
    setString(root.get(), "resourcesHash", toHex(directory.resourcesHash));
    return toXml(root.get());
}

std::string serialize(const CodeSignatureRecord& record) {
    PlistPtr root = newVersionedDictionary();
    setData(root.get(), "publicKey", record.publicKey);
    setData(root.get(), "signature", record.signature);
    return toXml(root.get());
}

} // namespace host::bundles
