#pragma once
// A bundle's information dictionary, Contents/Info.plist (XML or binary), and the rules by
// which its values name files inside the bundle.

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "host/platform/linux/bundles/plist_document.h"

namespace host::bundles {

inline constexpr const char* kInfoPlistPath = "Contents/Info.plist";
inline constexpr std::size_t kInfoPlistLimit = 4u << 20;

// The dictionary held by `bytes`; nothing when they are not a property list whose root is
// a dictionary.
PlistPtr parseInfoPlist(std::span<const unsigned char> bytes);

// The dictionary, or nothing when the file is missing, unreadable or not a dictionary.
PlistPtr readInfoPlist(const std::string& bundleRoot);

// "Contents/MacOS/<CFBundleExecutable>" when the bundle names its executable by a plain
// file name (no '/', not "." or "..").
std::optional<std::string> mainExecutableRelativePath(plist_t info);

// The names, in Contents/Resources, under which the icon that CFBundleIconFile names may
// be found: the name itself, and with ".png" added when it lacks it. None unless the name
// is a plain file name (no '/', not "." or "..").
std::vector<std::string> iconFileCandidates(plist_t info);

} // namespace host::bundles
