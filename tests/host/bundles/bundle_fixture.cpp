#include "bundle_fixture.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <plist/plist.h>
#include <sstream>
#include <stdexcept>

namespace host::bundles::testing {

namespace fs = std::filesystem;

void writeFile(const std::string& path, const std::string& contents) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << contents;
    if (!out) throw std::runtime_error("cannot write " + path);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void copyFile(const std::string& from, const std::string& to) {
    fs::create_directories(fs::path(to).parent_path());
    fs::copy_file(from, to, fs::copy_options::overwrite_existing);
    fs::permissions(to, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
}

std::string makeBundle(const std::string& dir, const std::string& name, const BundleSpec& spec) {
    const std::string root = dir + "/" + name;
    std::unique_ptr<void, decltype(&plist_free)> info(plist_new_dict(), &plist_free);
    plist_dict_set_item(info.get(), "CFBundleIdentifier",
                        plist_new_string(spec.identifier.c_str()));
    plist_dict_set_item(info.get(), "CFBundleExecutable",
                        plist_new_string(spec.executable.c_str()));
    for (const auto& [key, value] : spec.extraInfo)
        plist_dict_set_item(info.get(), key.c_str(), plist_new_string(value.c_str()));
    char* raw = nullptr;
    std::uint32_t length = 0;
    if (spec.plist == PlistKind::Xml)
        plist_to_xml(info.get(), &raw, &length);
    else
        plist_to_bin(info.get(), &raw, &length);
    std::string bytes(raw, length);
    std::free(raw);
    writeFile(root + "/Contents/Info.plist", bytes);
    copyFile(spec.executableSource, root + "/Contents/MacOS/" + spec.executable);
    writeFile(root + "/Contents/Resources/strings.txt", "hello\n");
    writeFile(root + "/Contents/Resources/data/blob.bin", std::string(300000, 'x'));
    return root;
}

} // namespace host::bundles::testing
