#pragma once
// Property lists through libplist (XML or binary), owned by RAII handles, and the few
// typed look-ups the bundle and seal code need.

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/unique_handle.h"

#include <plist/plist.h>

namespace host::bundles {

using PlistPtr = common::Owned<void, plist_free>;

// Reads a whole file of at most `limit` bytes. Nothing when it cannot be read, is not a
// regular file, or is bigger (a final symbolic link is not followed).
std::optional<std::vector<unsigned char>> readSmallFile(const std::string& path, std::size_t limit);

// A property list from XML or binary bytes; nothing when they are not one.
PlistPtr parsePlist(std::span<const unsigned char> bytes);

// The root dictionary of a property-list file; nothing unless the root is a dictionary.
PlistPtr readPlistDictionary(const std::string& path, std::size_t limit);

// Typed values of a dictionary entry; nothing when absent or of another type.
std::optional<std::string> dictString(plist_t dict, const char* key);
std::optional<std::vector<unsigned char>> dictData(plist_t dict, const char* key);
std::optional<std::uint64_t> dictUnsigned(plist_t dict, const char* key);
std::optional<bool> dictBool(plist_t dict, const char* key);
plist_t dictDictionary(plist_t dict, const char* key);
// An array whose items are all strings; nothing when absent, not an array, or an item is not.
std::optional<std::vector<std::string>> dictStringArray(plist_t dict, const char* key);

// Every entry of a dictionary, by key (the nodes still belong to `dict`); nothing when it
// cannot be walked.
std::optional<std::map<std::string, plist_t>> entries(plist_t dict);
// Every entry of a dictionary whose value is a string; nothing when any value is not.
std::optional<std::map<std::string, std::string>> stringEntries(plist_t dict);

// The XML form of a property list.
std::string toXml(plist_t node);

} // namespace host::bundles
