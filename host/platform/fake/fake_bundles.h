#pragma once
// Bundles of the in-memory desktop, keyed by their resolved location.

#include "host/platform/bundle_port.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace host::platform::fake {

struct FakeBundleInfo {
    std::optional<std::string> identifier;
    std::optional<std::string> executablePath;
    // Information values that are strings; a key not here reads as absent (or not a string).
    std::map<std::string, std::string> strings;
};

class FakeBundles : public platform::BundlePort {
public:
    std::map<std::string, FakeBundleInfo> bundles;
    std::map<std::string, std::vector<unsigned char>> iconsPng; // missing: cannot be rendered
    std::vector<int> iconSizesAsked;

    std::unique_ptr<platform::Bundle> open(const std::string& location) override;
    // The icon of an opened bundle, as its iconPng() asks for it.
    std::optional<std::vector<unsigned char>> iconPng(const std::string& location, int points);
};

} // namespace host::platform::fake
