#include "host/inventory/identity.h"

#include "common/base64.h"
#include "common/graphemes.h"
#include "host/inventory/resolved_path.h"
#include "host/session/host_error.h"

#include <filesystem>

namespace host {
namespace {

constexpr std::size_t kNameLimit = 80;
constexpr int kIconPoints = 32;

[[noreturn]] void fail(const char* code) {
    throw HostError{code};
}

std::string displayName(platform::Bundle& bundle, const std::string& location) {
    if (auto name = bundle.infoString("CFBundleDisplayName")) return *name;
    if (auto name = bundle.infoString("CFBundleName")) return *name;
    return std::filesystem::path(location).stem().string();
}

std::string iconBase64(platform::BundlePort& bundles, const std::string& location) {
    auto png = bundles.iconPng(location, kIconPoints);
    if (!png || png->empty()) return "";
    return common::base64(png->data(), png->size());
}

struct OpenedBundle {
    std::string location;
    std::unique_ptr<platform::Bundle> bundle;
    common::Json pinned;
};

OpenedBundle openPinned(platform::Platform& platform, const std::string& path) {
    auto location = resolvedPath(path);
    if (!location) fail("invalid_app");
    // The extension is judged after resolution: a link named X.app to a plain folder is no app.
    if (std::filesystem::path(*location).extension() != ".app") fail("invalid_app");

    auto bundle = platform.bundles.open(*location);
    if (!bundle) fail("invalid_app");
    auto bundleId = bundle->identifier();
    if (!bundleId) fail("invalid_app");
    auto executable = bundle->executablePath();
    if (!executable) fail("invalid_app");

    auto& signing = platform.codeSigning;
    auto code = signing.createStaticCode(*location);
    if (!code) fail("unsigned_app");
    if (!signing.checkStaticValidity(*code)) fail("unsigned_app");
    auto information = signing.signingInformation(*code);
    if (!information || !information->identifier) fail("unsigned_app");
    auto requirement = signing.designatedRequirement(*code);
    if (!requirement) fail("unsigned_app");

    // A declared executable that cannot be resolved keeps its declared spelling; the
    // running-instance check then simply finds no process with it.
    auto resolvedExecutable = resolvedPath(*executable);
    common::Json pinned{
        {"path", *location},
        {"bundleId", *bundleId},
        {"signedId", *information->identifier},
        {"teamId", information->teamIdentifier.value_or("")},
        {"executable", resolvedExecutable.value_or(*executable)},
        {"requirement", *requirement},
    };
    return {std::move(*location), std::move(bundle), std::move(pinned)};
}

} // namespace

common::Json pinnedIdentity(platform::Platform& platform, const std::string& path) {
    return openPinned(platform, path).pinned;
}

common::Json identity(platform::Platform& platform, const std::string& path) {
    auto opened = openPinned(platform, path);
    common::Json result = std::move(opened.pinned);
    result["name"] = std::string(
        common::firstGraphemes(displayName(*opened.bundle, opened.location), kNameLimit));
    result["icon"] = iconBase64(platform.bundles, opened.location);
    return result;
}

} // namespace host
