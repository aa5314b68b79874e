#pragma once
// A fresh directory under the system's temporary directory, removed with everything in it
// when the test ends; and whole-file reads and writes.

#include <filesystem>
#include <string>
#include <vector>

namespace test_support {

class ScratchDir {
public:
    // Canonical, so that paths under it compare equal to what /proc reports.
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

    // Names of the entries in the directory, sorted.
    std::vector<std::string> entries() const;

private:
    std::filesystem::path path_;
};

// Writes `bytes` to `path`, replacing it.
void writeFile(const std::string& path, const std::string& bytes);
std::string readFile(const std::string& path);

} // namespace test_support
