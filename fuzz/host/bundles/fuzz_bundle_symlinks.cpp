// Symbolic links planted in a bundle, with arbitrary names and targets: the bundle walk
// must report each with its target, and the check that a link stays inside the bundle must
// agree with where the kernel resolves it, whenever it resolves.
#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <fuzzer/FuzzedDataProvider.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "host/platform/linux/bundles/bundle_tree.h"

using namespace host::bundles;
namespace fs = std::filesystem;

namespace {

// Folders of the bundle that links are planted in (never links themselves).
const char* const kFolders[] = {"", "Contents", "Contents/MacOS", "Contents/Resources",
                                "Contents/Resources/deep"};

// A scratch folder holding the bundle and a sibling outside it, made once per process.
struct Scratch {
    Scratch() {
        std::string pattern = (fs::temp_directory_path() / "fuzz-links-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) std::abort();
        top = fs::canonical(pattern);
        root = top / "Bundle.app";
        for (const char* folder : kFolders)
            fs::create_directories(root / folder);
        fs::create_directories(top / "Outside");
        std::ofstream(root / "Contents/MacOS/Bundle") << "x";
        std::ofstream(root / "Contents/Resources/deep/file") << "y";
        std::ofstream(top / "Outside/file") << "z";
    }
    ~Scratch() {
        std::error_code ignored;
        fs::remove_all(top, ignored);
    }
    fs::path top;
    fs::path root;
};

bool isInside(const fs::path& resolved, const fs::path& root) {
    const std::string inside = resolved.generic_string();
    const std::string base = root.generic_string();
    return inside == base ||
           (inside.size() > base.size() && inside.starts_with(base) && inside[base.size()] == '/');
}

// A short link name from a small alphabet that includes the dot, so ".", ".." and names
// that shadow the bundle's own entries come up.
std::string linkName(FuzzedDataProvider& input) {
    static constexpr char kAlphabet[] = "ab.Cx";
    std::string name;
    const std::size_t length = input.ConsumeIntegralInRange<std::size_t>(1, 4);
    for (std::size_t i = 0; i < length; ++i)
        name += kAlphabet[input.ConsumeIntegralInRange<std::size_t>(0, sizeof kAlphabet - 2)];
    return name;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const Scratch scratch;
    FuzzedDataProvider input(data, size);

    struct Planted {
        std::string relative;
        std::string target;
    };
    std::vector<Planted> planted;
    const int count = input.ConsumeIntegralInRange<int>(1, 4);
    for (int i = 0; i < count && input.remaining_bytes() > 0; ++i) {
        const char* folder =
            kFolders[input.ConsumeIntegralInRange<std::size_t>(0, std::size(kFolders) - 1)];
        std::string relative = (*folder ? std::string(folder) + "/" : "") + linkName(input);
        std::string target = input.ConsumeRandomLengthString(96);
        if (target.empty() || target.find('\0') != std::string::npos) continue;
        // Taken names (a folder, a file, an earlier link) and "." or ".." simply fail.
        if (::symlink(target.c_str(), (scratch.root / relative).c_str()) != 0) continue;
        planted.push_back({fs::path(relative).lexically_normal().generic_string(), target});
    }

    auto tree = walkBundle(scratch.root.string());
    if (!tree) std::abort(); // only files, folders and links are in it
    for (const auto& link : planted) {
        auto found = tree->symlinks.find(link.relative);
        if (found == tree->symlinks.end() || found->second != link.target) std::abort();

        const bool inside = symlinkStaysInside(scratch.root.string(), link.relative, link.target);
        if (fs::path(link.target).is_absolute()) {
            if (inside) std::abort(); // an absolute target names another place once moved
            continue;
        }
        // Where the kernel resolves the link, when it does (it may dangle or loop).
        char resolved[PATH_MAX];
        if (::realpath((scratch.root / link.relative).c_str(), resolved) == nullptr) continue;
        if (inside != isInside(resolved, scratch.root)) std::abort();
    }

    for (const auto& link : planted)
        ::unlink((scratch.root / link.relative).c_str());
    return 0;
}
