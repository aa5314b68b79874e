#pragma once
// Reading and checking a bundle's seal (seal_format.h describes its files).
//
// Strict validation checks the whole seal: the signature where there is one and the team
// it implies, the hash of CodeResources, the main executable that Info.plist names and its
// hash, nothing in the bundle that grants more than the seal can vouch for (set-id bits,
// file capabilities, a file or folder anyone may write), every listed file present with its
// hash and its executable bit, every listed folder present, every listed symbolic link
// present with its target and staying inside the bundle, and nothing unlisted (the seal's
// own files excepted). Every byte of the bundle is read on every check; nothing is
// remembered.

#include <optional>
#include <span>
#include <string>

#include "host/platform/linux/bundles/bundle_tree.h"
#include "host/platform/linux/bundles/seal_format.h"

namespace host::bundles {

struct Seal {
    CodeDirectory directory;
    CodeResources resources;
    Digest cdhash{};
    bool hasSignature = false; // signed with a key; the team is then the key's
};

enum class SealFault {
    None,
    NotSealed,          // no CodeDirectory or CodeResources
    MalformedSeal,      // a seal file that does not read as one
    BadSignature,       // CodeSignature does not verify over CodeDirectory
    TeamMismatch,       // a team without a key, or not the key's team
    ResourcesModified,  // CodeResources does not hash to the sealed value
    ExecutableMismatch, // main executable not the one Info.plist names, or not sealed as listed
    UnreadableBundle,   // a folder cannot be read, or a FIFO/socket/device inside
    PrivilegedFile,     // a file with a set-user-ID or set-group-ID bit, or capabilities
    WritableByAnyone,   // a file or folder (the bundle itself included) others may write
    MissingFile,        // a listed file, folder or link is gone
    UnlistedFile,       // a file, folder or link that the seal does not list
    ModifiedFile,       // a listed file with other contents, or a link with another target
    ExecutableChanged,  // a listed file whose executable bit is not the sealed one
    SymlinkLeavesBundle,
};

struct SealCheck {
    SealFault fault = SealFault::None;
    std::string path;         // the bundle-relative file concerned, when there is one
    std::optional<Seal> seal; // what was read, when the seal's own files could be read
    bool valid() const { return fault == SealFault::None; }
};

// The seal's own files only: parsed, signature and team checked, CodeResources hash
// checked, the executable listed with its sealed hash. Cheap: no bundle file is read.
SealCheck readSeal(const std::string& bundleRoot);

// Strict validation of the whole bundle (see above). `seal` is set whenever readable.
SealCheck validateSeal(const std::string& bundleRoot);

// The same, judging `infoPlist` as the bundle's Contents/Info.plist instead of reading it
// again: the bytes a caller has already read (and reports values from) are the bytes the
// seal must vouch for.
SealCheck validateSeal(const std::string& bundleRoot, std::span<const unsigned char> infoPlist);

// The first thing in `tree` that grants more than a seal can vouch for (see PrivilegedFile,
// WritableByAnyone), or a check whose fault is None. Sealing refuses exactly what strict
// validation rejects.
SealCheck findUnsealable(const BundleTree& tree);

// A short English description for people (the seal tool).
const char* describe(SealFault fault);

// `identifier "ID" and certificate leaf[subject.OU] = "TEAM"` when signed, else
// `cdhash H"HEX"`.
std::string designatedRequirementText(const Seal& seal);

} // namespace host::bundles
