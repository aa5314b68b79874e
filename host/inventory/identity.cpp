#include "host/inventory/identity.h"

#include "common/base64.h"
#include "common/graphemes.h"
#include "host/base/host_error.h"
#include "host/inventory/resolved_path.h"

#include <filesystem>

namespace host {
namespace {

constexpr std::size_t kNameLimit = 80;
constexpr int kIconPoints = 32;

std::string displayName(platform::Bundle& bundle, const std::string& location) {
    if (auto name = bundle.infoString("CFBundleDisplayName")) return *name;
    if (auto name = bundle.infoString("CFBundleName")) return *name;
    return std::filesystem::path(location).stem().string();
}

std::string iconBase64(platform::Bundle& bundle) {
    auto png = bundle.iconPng(kIconPoints);
    if (!png || png->empty()) return "";
    return common::base64(png->data(), png->size());
}

struct OpenedBundle {
    std::unique_ptr<platform::Bundle> bundle;
    PinnedIdentity pinned;
};

OpenedBundle openPinned(platform::Platform& platform, const std::string& path) {
    auto location = resolvedPath(path);
    if (!location) fail(ErrorCode::InvalidApp);
    // The extension is judged after resolution: a link named X.app to a plain folder is no app.
    if (std::filesystem::path(*location).extension() != ".app") fail(ErrorCode::InvalidApp);

    auto bundle = platform.bundles.open(*location);
    if (!bundle) fail(ErrorCode::InvalidApp);
    auto bundleId = bundle->identifier();
    if (!bundleId) fail(ErrorCode::InvalidApp);
    auto executable = bundle->executablePath();
    if (!executable) fail(ErrorCode::InvalidApp);

    auto& signing = platform.codeSigning;
    // The signature is judged over what was just opened, so the values reported below
    // are the ones it vouches for.
    auto code = signing.createStaticCode(*location, *bundle);
    if (!code) fail(ErrorCode::UnsignedApp);
    if (!signing.checkStaticValidity(*code)) fail(ErrorCode::UnsignedApp);
    auto information = signing.signingInformation(*code);
    if (!information || !information->identifier) fail(ErrorCode::UnsignedApp);
    auto requirement = signing.designatedRequirement(*code);
    if (!requirement) fail(ErrorCode::UnsignedApp);

    // A declared executable that cannot be resolved keeps its declared spelling; the
    // running-instance check then simply finds no process with it.
    auto resolvedExecutable = resolvedPath(*executable);
    PinnedIdentity pinned{std::move(*location),
                          std::move(*bundleId),
                          std::move(*information->identifier),
                          information->teamIdentifier.value_or(""),
                          resolvedExecutable.value_or(*executable),
                          std::move(*requirement)};
    return {std::move(bundle), std::move(pinned)};
}

} // namespace

PinnedIdentity pinnedIdentity(platform::Platform& platform, const std::string& path) {
    return openPinned(platform, path).pinned;
}

common::Json identity(platform::Platform& platform, const std::string& path) {
    auto opened = openPinned(platform, path);
    const auto& pinned = opened.pinned;
    return common::Json{
        {"path", pinned.path},
        {"bundleId", pinned.bundleId},
        {"signedId", pinned.signedId},
        {"teamId", pinned.teamId},
        {"executable", pinned.executable},
        {"requirement", pinned.requirement},
        {"name",
         std::string(common::firstGraphemes(displayName(*opened.bundle, pinned.path), kNameLimit))},
        {"icon", iconBase64(*opened.bundle)},
    };
}

} // namespace host
