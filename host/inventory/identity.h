#pragma once
// The identity of an application bundle: where it really lives, its bundle and signing
// identifiers, team, designated requirement, display name and icon. Window requests send it
// back, and it is recomputed and compared, so it doubles as the application's fingerprint.

#include "common/json.h"
#include "host/platform/platform.h"

#include <string>

namespace host {

// The eight-member identity object for the bundle at `path` (relative paths are taken from
// the current directory). Throws HostError "invalid_app" or "unsigned_app".
common::Json identity(platform::Platform& platform, const std::string& path);

// The six members that pin the application down (path, bundleId, signedId, teamId,
// executable, requirement), checked exactly as identity() checks them: what a window
// request compares, without the display name and the icon it has no use for.
common::Json pinnedIdentity(platform::Platform& platform, const std::string& path);

} // namespace host
