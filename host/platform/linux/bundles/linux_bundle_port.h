#pragma once
// Application bundles on disk: Contents/Info.plist (XML or binary) and the icon that
// CFBundleIconFile names in Contents/Resources, or a generic one.

#include "host/platform/bundle_port.h"

namespace host::bundles {

class LinuxBundlePort final : public platform::BundlePort {
public:
    // A folder with a readable Info.plist whose root is a dictionary; else nothing.
    std::unique_ptr<platform::Bundle> open(const std::string& location) override;
    // The bundle's own PNG icon when it has one that decodes, else the generic icon, in
    // either case `points` pixels square. Nothing only when encoding fails.
    std::optional<std::vector<unsigned char>> iconPng(const std::string& location,
                                                      int points) override;
};

} // namespace host::bundles
