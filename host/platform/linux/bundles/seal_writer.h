#pragma once
// Creates a bundle's seal: ad hoc, or signed with an Ed25519 key. Used by the bundle-seal
// tool and by tests; the host itself only reads seals.

#include <string>

#include "host/platform/linux/bundles/seal_keys.h"

namespace host::bundles {

struct SealOutcome {
    bool ok = false;
    std::string message; // why sealing failed, for people
};

// Replaces Contents/_CodeSignature with a fresh seal of everything else in the bundle.
// `key` null seals ad hoc (no team).
SealOutcome sealBundle(const std::string& bundleRoot, const PrivateKey* key);

} // namespace host::bundles
