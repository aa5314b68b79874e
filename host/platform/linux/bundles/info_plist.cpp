#include "host/platform/linux/bundles/info_plist.h"

namespace host::bundles {
namespace {

// A name that stays in the folder it is looked up in.
bool isPlainFileName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string_view("/\0", 2)) == std::string::npos;
}

} // namespace

PlistPtr parseInfoPlist(std::span<const unsigned char> bytes) {
    PlistPtr root = parsePlist(bytes);
    if (!root || plist_get_node_type(root.get()) != PLIST_DICT) return nullptr;
    return root;
}

PlistPtr readInfoPlist(const std::string& bundleRoot) {
    return readPlistDictionary(bundleRoot + "/" + kInfoPlistPath, kInfoPlistLimit);
}

std::optional<std::string> mainExecutableRelativePath(plist_t info) {
    auto name = dictString(info, "CFBundleExecutable");
    if (!name || !isPlainFileName(*name)) return std::nullopt;
    return "Contents/MacOS/" + *name;
}

std::vector<std::string> iconFileCandidates(plist_t info) {
    auto name = dictString(info, "CFBundleIconFile");
    if (!name || !isPlainFileName(*name)) return {};
    std::vector<std::string> candidates{*name};
    if (!name->ends_with(".png")) candidates.push_back(*name + ".png");
    return candidates;
}

} // namespace host::bundles
