#pragma once
// The identity of an application bundle: where it really lives, its bundle and signing
// identifiers, team, designated requirement, display name and icon. Window requests send it
// back, and it is recomputed and compared, so it doubles as the application's fingerprint.

#include "common/json.h"
#include "host/platform/platform.h"

#include <string>

namespace host {

// The six members that pin the application down: what a window request compares, without
// the display name and the icon it has no use for.
struct PinnedIdentity {
    std::string path; // resolved
    std::string bundleId;
    std::string signedId;
    std::string teamId; // "" without a team
    std::string executable;
    std::string requirement;
};

// The eight-member identity object for the bundle at `path` (relative paths are taken from
// the current directory). Throws HostError "invalid_app" or "unsigned_app".
common::Json identity(platform::Platform& platform, const std::string& path);

// The pinned members, checked exactly as identity() checks them.
PinnedIdentity pinnedIdentity(platform::Platform& platform, const std::string& path);

} // namespace host
