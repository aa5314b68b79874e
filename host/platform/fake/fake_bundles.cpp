#include "host/platform/fake/fake_bundles.h"

namespace host::platform::fake {
namespace {

class OpenedBundle : public platform::Bundle {
public:
    OpenedBundle(FakeBundles& bundles, std::string location, FakeBundleInfo info)
        : bundles_(bundles), location_(std::move(location)), info_(std::move(info)) {}
    std::optional<std::string> identifier() override { return info_.identifier; }
    std::optional<std::string> executablePath() override { return info_.executablePath; }
    std::optional<std::string> infoString(const std::string& key) override {
        auto found = info_.strings.find(key);
        if (found == info_.strings.end()) return std::nullopt;
        return found->second;
    }
    std::optional<std::vector<unsigned char>> iconPng(int points) override {
        return bundles_.iconPng(location_, points);
    }

private:
    FakeBundles& bundles_;
    std::string location_;
    FakeBundleInfo info_;
};

} // namespace

std::unique_ptr<platform::Bundle> FakeBundles::open(const std::string& location) {
    auto found = bundles.find(location);
    if (found == bundles.end()) return nullptr;
    return std::make_unique<OpenedBundle>(*this, location, found->second);
}

std::optional<std::vector<unsigned char>> FakeBundles::iconPng(const std::string& location,
                                                               int points) {
    iconSizesAsked.push_back(points);
    auto found = iconsPng.find(location);
    if (found == iconsPng.end()) return std::nullopt;
    return found->second;
}

} // namespace host::platform::fake
