#pragma once
// A bundle's information dictionary, Contents/Info.plist (XML or binary).

#include <optional>
#include <string>

#include "host/platform/linux/bundles/plist_document.h"

namespace host::bundles {

inline constexpr std::size_t kInfoPlistLimit = 4u << 20;

// The dictionary, or nothing when the file is missing, unreadable or not a dictionary.
PlistPtr readInfoPlist(const std::string& bundleRoot);

// "Contents/MacOS/<CFBundleExecutable>" when the bundle names its executable by a plain
// file name (no '/', not "." or "..").
std::optional<std::string> mainExecutableRelativePath(plist_t info);

} // namespace host::bundles
