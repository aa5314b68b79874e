#pragma once
// Application bundles made by the tests: the test application copied into
// NAME.app/Contents/MacOS/testapp with an Info.plist, sealed with bundle-seal.

#include "tests/support/scratch_dir.h"

#include <filesystem>
#include <optional>
#include <string>

namespace desktop_test {

struct BundleSpec {
    std::string name = "TestApp";
    std::string identifier = "org.tarnwick.testapp";
    std::optional<std::filesystem::path> key; // an Ed25519 PEM key: a signed seal
};

// Writes the bundle under `folder` and seals it with `sealTool`; the bundle's path, or
// nothing when something failed.
std::optional<std::filesystem::path> makeBundle(const std::filesystem::path& folder,
                                                const std::string& program,
                                                const std::string& sealTool,
                                                const BundleSpec& spec);

// Seals (again) with the tool; true on success.
bool seal(const std::string& sealTool, const std::filesystem::path& bundle,
          const std::optional<std::filesystem::path>& key);
bool makeKey(const std::string& sealTool, const std::filesystem::path& key);

std::filesystem::path executableOf(const std::filesystem::path& bundle);

using TempFolder = test_support::ScratchDir;

} // namespace desktop_test
