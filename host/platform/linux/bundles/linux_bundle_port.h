#pragma once
// Application bundles on disk: Contents/Info.plist (XML or binary) and the icon that
// CFBundleIconFile names in Contents/Resources, or a generic one.

#include <span>
#include <vector>

#include "host/platform/bundle_port.h"
#include "host/platform/linux/bundles/plist_document.h"

namespace host::bundles {

// A bundle as opened: Info.plist read once, its bytes kept, so that the seal check judges
// exactly what the values reported from it were read from.
class LinuxBundle final : public platform::Bundle {
public:
    LinuxBundle(std::string root, std::vector<unsigned char> infoBytes, PlistPtr info);

    std::optional<std::string> identifier() override;
    // The declared executable, when it is a plain name and exists.
    std::optional<std::string> executablePath() override;
    std::optional<std::string> infoString(const std::string& key) override;
    // The bundle's own PNG icon when it has one that decodes, else the generic icon, in
    // either case `points` pixels square. Nothing only for an unreasonable size or when
    // encoding fails.
    std::optional<std::vector<unsigned char>> iconPng(int points) override;

    const std::string& root() const { return root_; }
    std::span<const unsigned char> infoPlistBytes() const { return infoBytes_; }

private:
    std::string root_;
    std::vector<unsigned char> infoBytes_;
    PlistPtr info_;
};

class LinuxBundlePort final : public platform::BundlePort {
public:
    // A folder with a readable Info.plist whose root is a dictionary; else nothing.
    std::unique_ptr<platform::Bundle> open(const std::string& location) override;
};

} // namespace host::bundles
