// Arbitrary bytes as a bundle's Info.plist: read as the bundle port reads it, with the
// rules by which its values name files inside the bundle, and judged by a sealed bundle's
// strict validation, which must accept exactly the bytes that were sealed.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "host/platform/linux/bundles/info_plist.h"
#include "host/platform/linux/bundles/linux_bundle_port.h"
#include "host/platform/linux/bundles/seal.h"
#include "host/platform/linux/bundles/seal_writer.h"

using namespace host::bundles;

namespace {

// A plain file name, as the rules promise: it cannot reach outside its folder.
bool isPlainName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
}

void writeFile(const std::filesystem::path& path, std::string_view bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

// One bundle, sealed once for the whole run, and the Info.plist bytes it was sealed with.
struct SealedBundle {
    SealedBundle() {
        ::umask(022); // a bundle others may write into cannot be sealed
        std::string pattern =
            (std::filesystem::temp_directory_path() / "fuzz-info-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) std::abort();
        scratch = pattern;
        root = (scratch / "Sealed.app").string();
        info = "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>"
               "<key>CFBundleIdentifier</key><string>com.example.Sealed</string>"
               "<key>CFBundleExecutable</key><string>Sealed</string></dict></plist>";
        writeFile(root + "/Contents/Info.plist", info);
        writeFile(root + "/Contents/MacOS/Sealed", "#!/bin/sh\n");
        std::filesystem::permissions(root + "/Contents/MacOS/Sealed",
                                     std::filesystem::perms::owner_exec,
                                     std::filesystem::perm_options::add);
        if (!sealBundle(root, nullptr).ok || !validateSeal(root).valid()) std::abort();
    }
    ~SealedBundle() {
        std::error_code ignored;
        std::filesystem::remove_all(scratch, ignored);
    }
    std::filesystem::path scratch;
    std::string root;
    std::string info;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const SealedBundle sealed;
    const std::span<const unsigned char> bytes(data, size);
    PlistPtr info = parseInfoPlist(bytes);
    if (!info) return 0;
    if (plist_get_node_type(info.get()) != PLIST_DICT) std::abort();

    if (auto executable = mainExecutableRelativePath(info.get())) {
        constexpr std::string_view folder = "Contents/MacOS/";
        if (!executable->starts_with(folder) || !isPlainName(executable->substr(folder.size())) ||
            !isCleanRelativePath(*executable))
            std::abort();
    }
    for (const auto& candidate : iconFileCandidates(info.get())) {
        if (!isPlainName(candidate)) std::abort();
    }

    // The bundle's view of the same bytes agrees with the rules.
    LinuxBundle bundle("/nonexistent.app", std::vector<unsigned char>(data, data + size),
                       std::move(info));
    (void)bundle.identifier();
    (void)bundle.infoString("CFBundleDisplayName");
    if (bundle.executablePath()) std::abort(); // nothing exists under that root

    // Strict validation vouches for these bytes only if they are the sealed ones.
    const bool same =
        size == sealed.info.size() && std::equal(sealed.info.begin(), sealed.info.end(), data);
    if (validateSeal(sealed.root, bytes).valid() != same) std::abort();
    return 0;
}
