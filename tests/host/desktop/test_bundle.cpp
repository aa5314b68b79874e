#include "test_bundle.h"

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <vector>

namespace desktop_test {
namespace fs = std::filesystem;

namespace {

bool run(std::vector<std::string> argv) {
    std::string command;
    for (const auto& a : argv)
        command += "'" + a + "' ";
    command += ">/dev/null 2>&1";
    int status = std::system(command.c_str());
    return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

fs::path executableOf(const fs::path& bundle) {
    return bundle / "Contents" / "MacOS" / "testapp";
}

bool seal(const std::string& sealTool, const fs::path& bundle, const std::optional<fs::path>& key) {
    std::vector<std::string> argv{sealTool, "seal", bundle.string()};
    if (key) {
        argv.push_back("--key");
        argv.push_back(key->string());
    }
    return run(argv);
}

bool makeKey(const std::string& sealTool, const fs::path& key) {
    return run({sealTool, "keygen", key.string()});
}

std::optional<fs::path> makeBundle(const fs::path& folder, const std::string& program,
                                   const std::string& sealTool, const BundleSpec& spec) {
    const fs::path bundle = folder / (spec.name + ".app");
    std::error_code error;
    fs::create_directories(bundle / "Contents" / "MacOS", error);
    fs::create_directories(bundle / "Contents" / "Resources", error);
    if (error) return std::nullopt;
    fs::copy_file(program, executableOf(bundle), fs::copy_options::overwrite_existing, error);
    if (error) return std::nullopt;
    std::ofstream plist(bundle / "Contents" / "Info.plist");
    plist << R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
  <key>CFBundleIdentifier</key><string>)"
          << spec.identifier << R"(</string>
  <key>CFBundleExecutable</key><string>testapp</string>
  <key>CFBundleName</key><string>)"
          << spec.name << R"(</string>
  <key>CFBundlePackageType</key><string>APPL</string>
</dict>
</plist>
)";
    plist.close();
    if (!plist) return std::nullopt;
    if (!seal(sealTool, bundle, spec.key)) return std::nullopt;
    return bundle;
}

} // namespace desktop_test
