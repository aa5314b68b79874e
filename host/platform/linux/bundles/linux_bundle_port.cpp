#include "host/platform/linux/bundles/linux_bundle_port.h"

#include <sys/stat.h>

#include "host/platform/linux/bundles/icon.h"
#include "host/platform/linux/bundles/info_plist.h"

namespace host::bundles {
namespace {

constexpr std::size_t kIconFileLimit = 16u << 20;

class PlistBundle final : public platform::Bundle {
public:
    PlistBundle(std::string root, PlistPtr info) : root_(std::move(root)), info_(std::move(info)) {}

    std::optional<std::string> identifier() override {
        return dictString(info_.get(), "CFBundleIdentifier");
    }
    std::optional<std::string> executablePath() override {
        auto relative = mainExecutableRelativePath(info_.get());
        if (!relative) return std::nullopt;
        std::string path = root_ + "/" + *relative;
        struct stat info {};
        if (::stat(path.c_str(), &info) != 0) return std::nullopt;
        return path;
    }
    std::optional<std::string> infoString(const std::string& key) override {
        return dictString(info_.get(), key.c_str());
    }

private:
    std::string root_;
    PlistPtr info_;
};

// The bundle's own icon file, decoded, when it names one that is a readable PNG.
std::optional<Rgba> bundleIcon(const std::string& location) {
    PlistPtr info = readInfoPlist(location);
    if (!info) return std::nullopt;
    auto name = dictString(info.get(), "CFBundleIconFile");
    if (!name || name->empty() || name->find('/') != std::string::npos) return std::nullopt;
    std::vector<std::string> candidates{*name};
    if (name->size() < 4 || name->compare(name->size() - 4, 4, ".png") != 0)
        candidates.push_back(*name + ".png");
    for (const auto& candidate : candidates) {
        auto bytes = readSmallFile(location + "/Contents/Resources/" + candidate, kIconFileLimit);
        if (!bytes) continue;
        if (auto image = decodePng(*bytes)) return image;
    }
    return std::nullopt;
}

} // namespace

std::unique_ptr<platform::Bundle> LinuxBundlePort::open(const std::string& location) {
    struct stat info {};
    if (::stat(location.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return nullptr;
    PlistPtr plist = readInfoPlist(location);
    if (!plist) return nullptr;
    return std::make_unique<PlistBundle>(location, std::move(plist));
}

std::optional<std::vector<unsigned char>> LinuxBundlePort::iconPng(const std::string& location,
                                                                   int points) {
    if (points <= 0 || points > kMaxIconSide) return std::nullopt;
    auto icon = bundleIcon(location);
    Rgba image = icon ? fitSquare(*icon, points) : genericIcon(points);
    return encodePng(image);
}

} // namespace host::bundles
