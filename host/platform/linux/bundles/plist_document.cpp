#include "host/platform/linux/bundles/plist_document.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "host/platform/linux/bundles/unique_fd.h"

namespace host::bundles {
namespace {

using MallocPtr = common::Malloced<char>;

// libplist's dictionary iterator is a malloc'ed cursor.
struct DictIter {
    explicit DictIter(plist_t dict) { plist_dict_new_iter(dict, &iter); }
    ~DictIter() { std::free(iter); }
    DictIter(const DictIter&) = delete;
    DictIter& operator=(const DictIter&) = delete;
    plist_dict_iter iter = nullptr;
};

} // namespace

std::optional<std::vector<unsigned char>> readSmallFile(const std::string& path,
                                                        std::size_t limit) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!fd) return std::nullopt;
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    if (static_cast<std::uint64_t>(info.st_size) > limit) return std::nullopt;
    std::vector<unsigned char> bytes(static_cast<std::size_t>(info.st_size) + 1);
    std::size_t used = 0;
    for (;;) {
        if (used == bytes.size()) return std::nullopt; // grew past what fstat said
        ssize_t got = ::read(fd.get(), bytes.data() + used, bytes.size() - used);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return std::nullopt;
        if (got == 0) break;
        used += static_cast<std::size_t>(got);
        if (used > limit) return std::nullopt;
    }
    bytes.resize(used);
    return bytes;
}

PlistPtr parsePlist(std::span<const unsigned char> bytes) {
    if (bytes.empty() || bytes.size() > UINT32_MAX) return nullptr;
    plist_t root = nullptr;
    plist_from_memory(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<std::uint32_t>(bytes.size()), &root);
    return PlistPtr(root);
}

PlistPtr readPlistDictionary(const std::string& path, std::size_t limit) {
    auto bytes = readSmallFile(path, limit);
    if (!bytes) return nullptr;
    PlistPtr root = parsePlist(*bytes);
    if (!root || plist_get_node_type(root.get()) != PLIST_DICT) return nullptr;
    return root;
}

std::optional<std::string> dictString(plist_t dict, const char* key) {
    plist_t node = plist_dict_get_item(dict, key);
    if (!node || plist_get_node_type(node) != PLIST_STRING) return std::nullopt;
    std::uint64_t length = 0;
    const char* text = plist_get_string_ptr(node, &length);
    if (!text) return std::nullopt;
    return std::string(text, static_cast<std::size_t>(length));
}

std::optional<std::vector<unsigned char>> dictData(plist_t dict, const char* key) {
    plist_t node = plist_dict_get_item(dict, key);
    if (!node || plist_get_node_type(node) != PLIST_DATA) return std::nullopt;
    std::uint64_t length = 0;
    const char* data = plist_get_data_ptr(node, &length);
    if (!data && length != 0) return std::nullopt;
    auto* begin = reinterpret_cast<const unsigned char*>(data);
    return std::vector<unsigned char>(begin, begin + length);
}

std::optional<std::uint64_t> dictUnsigned(plist_t dict, const char* key) {
    plist_t node = plist_dict_get_item(dict, key);
    if (!node || plist_get_node_type(node) != PLIST_UINT) return std::nullopt;
    std::uint64_t value = 0;
    plist_get_uint_val(node, &value);
    return value;
}

plist_t dictDictionary(plist_t dict, const char* key) {
    plist_t node = plist_dict_get_item(dict, key);
    if (!node || plist_get_node_type(node) != PLIST_DICT) return nullptr;
    return node;
}

std::optional<bool> dictBool(plist_t dict, const char* key) {
    plist_t node = plist_dict_get_item(dict, key);
    if (!node || plist_get_node_type(node) != PLIST_BOOLEAN) return std::nullopt;
    std::uint8_t value = 0;
    plist_get_bool_val(node, &value);
    return value != 0;
}

std::optional<std::vector<std::string>> dictStringArray(plist_t dict, const char* key) {
    plist_t node = plist_dict_get_item(dict, key);
    if (!node || plist_get_node_type(node) != PLIST_ARRAY) return std::nullopt;
    std::vector<std::string> items;
    const std::uint32_t count = plist_array_get_size(node);
    items.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        plist_t item = plist_array_get_item(node, i);
        if (!item || plist_get_node_type(item) != PLIST_STRING) return std::nullopt;
        std::uint64_t length = 0;
        const char* text = plist_get_string_ptr(item, &length);
        if (!text) return std::nullopt;
        items.emplace_back(text, static_cast<std::size_t>(length));
    }
    return items;
}

std::optional<std::map<std::string, plist_t>> entries(plist_t dict) {
    std::map<std::string, plist_t> found;
    DictIter cursor(dict);
    if (!cursor.iter) return std::nullopt;
    for (;;) {
        char* rawKey = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(dict, cursor.iter, &rawKey, &value);
        MallocPtr key(rawKey);
        if (!key) break;
        if (!value) return std::nullopt;
        found.emplace(key.get(), value);
    }
    return found;
}

std::optional<std::map<std::string, std::string>> stringEntries(plist_t dict) {
    auto all = entries(dict);
    if (!all) return std::nullopt;
    std::map<std::string, std::string> strings;
    for (const auto& [key, value] : *all) {
        if (plist_get_node_type(value) != PLIST_STRING) return std::nullopt;
        std::uint64_t length = 0;
        const char* text = plist_get_string_ptr(value, &length);
        if (!text) return std::nullopt;
        strings.emplace(key, std::string(text, static_cast<std::size_t>(length)));
    }
    return strings;
}

std::string toXml(plist_t node) {
    char* raw = nullptr;
    std::uint32_t length = 0;
    plist_to_xml(node, &raw, &length);
    common::Owned<char, plist_to_xml_free> xml(raw);
    return xml ? std::string(xml.get(), length) : std::string();
}

} // namespace host::bundles
