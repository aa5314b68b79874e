#include "host/platform/linux/bundles/linux_bundle_port.h"

#include <sys/stat.h>

#include "host/platform/linux/bundles/icon.h"
#include "host/platform/linux/bundles/info_plist.h"

namespace host::bundles {
namespace {

constexpr std::size_t kIconFileLimit = 16u << 20;

} // namespace

LinuxBundle::LinuxBundle(std::string root, std::vector<unsigned char> infoBytes, PlistPtr info)
    : root_(std::move(root)), infoBytes_(std::move(infoBytes)), info_(std::move(info)) {}

std::optional<std::string> LinuxBundle::identifier() {
    return dictString(info_.get(), "CFBundleIdentifier");
}

std::optional<std::string> LinuxBundle::executablePath() {
    auto relative = mainExecutableRelativePath(info_.get());
    if (!relative) return std::nullopt;
    std::string path = root_ + "/" + *relative;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return std::nullopt;
    return path;
}

std::optional<std::string> LinuxBundle::infoString(const std::string& key) {
    return dictString(info_.get(), key.c_str());
}

std::optional<std::vector<unsigned char>> LinuxBundle::iconPng(int points) {
    if (points <= 0 || points > kMaxIconSide) return std::nullopt;
    for (const auto& candidate : iconFileCandidates(info_.get())) {
        auto bytes = readSmallFile(root_ + "/Contents/Resources/" + candidate, kIconFileLimit);
        if (!bytes) continue;
        if (auto image = decodePng(*bytes)) return encodePng(fitSquare(*image, points));
    }
    return encodePng(genericIcon(points));
}

std::unique_ptr<platform::Bundle> LinuxBundlePort::open(const std::string& location) {
    struct stat info {};
    if (::stat(location.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return nullptr;
    auto bytes = readSmallFile(location + "/" + kInfoPlistPath, kInfoPlistLimit);
    if (!bytes) return nullptr;
    PlistPtr plist = parseInfoPlist(*bytes);
    if (!plist) return nullptr;
    return std::make_unique<LinuxBundle>(location, std::move(*bytes), std::move(plist));
}

} // namespace host::bundles
