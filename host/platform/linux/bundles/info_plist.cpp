#include "host/platform/linux/bundles/info_plist.h"

namespace host::bundles {

PlistPtr readInfoPlist(const std::string& bundleRoot) {
    return readPlistDictionary(bundleRoot + "/Contents/Info.plist", kInfoPlistLimit);
}

std::optional<std::string> mainExecutableRelativePath(plist_t info) {
    auto name = dictString(info, "CFBundleExecutable");
    if (!name || name->empty() || *name == "." || *name == ".." ||
        name->find_first_of(std::string_view("/\0", 2)) != std::string::npos)
        return std::nullopt;
    return "Contents/MacOS/" + *name;
}

} // namespace host::bundles
