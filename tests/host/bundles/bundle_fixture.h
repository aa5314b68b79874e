#pragma once
// Throw-away application bundles for the tests, built in a fresh temporary folder.

#include "tests/support/scratch_dir.h"

#include <cstdint>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace host::bundles::testing {

// A temporary folder, removed with everything in it; its path as a string, for joining.
// Files and folders made in it get the usual 022 umask, whatever the test runner's own:
// a bundle that others may write into cannot be sealed.
class TempDir : public test_support::ScratchDir {
public:
    TempDir() { ::umask(022); }
    std::string path() const { return ScratchDir::path().string(); }
};

enum class PlistKind { Xml, Binary };

struct BundleSpec {
    std::string identifier = "com.example.Sample";
    std::string executable = "Sample";
    PlistKind plist = PlistKind::Xml;
    std::vector<std::pair<std::string, std::string>> extraInfo; // more string entries
    std::string executableSource = "/bin/sleep";                // copied into place
};

// Builds <dir>/<name> with Contents/Info.plist, Contents/MacOS/<executable> and a few
// resources (Contents/Resources/strings.txt, Contents/Resources/data/blob.bin).
// Returns the bundle's path.
std::string makeBundle(const std::string& dir, const std::string& name,
                       const BundleSpec& spec = {});

void writeFile(const std::string& path, const std::string& contents);
std::string readFile(const std::string& path);
void copyFile(const std::string& from, const std::string& to);

} // namespace host::bundles::testing
