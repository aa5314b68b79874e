#pragma once
// Application bundles on disk: their declared information and icon. A bundle is read
// once when it is opened; everything asked of it afterwards comes from that reading.

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace host::platform {

class Bundle {
public:
    virtual ~Bundle() = default;
    virtual std::optional<std::string> identifier() = 0;
    // Absolute path of the main executable as the bundle declares it (links not resolved).
    virtual std::optional<std::string> executablePath() = 0;
    // A value of the information dictionary when it is a string; any other type, or no
    // value, is nothing.
    virtual std::optional<std::string> infoString(const std::string& key) = 0;
    // The bundle's icon, `points` × `points`, as PNG bytes; nothing when it cannot be
    // rendered or encoded.
    virtual std::optional<std::vector<unsigned char>> iconPng(int points) = 0;
};

class BundlePort {
public:
    virtual ~BundlePort() = default;
    // The bundle at an absolute, resolved location; nothing when it is not a readable bundle.
    virtual std::unique_ptr<Bundle> open(const std::string& location) = 0;
};

} // namespace host::platform
