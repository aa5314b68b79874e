// bundle-seal: seals application bundles for the host and verifies them.
//   bundle-seal seal APP.app [--key KEY.pem]   ad hoc, or signed with an Ed25519 key;
//                                              refuses what the host would reject
//   bundle-seal verify APP.app                 strict validation; exit 0 when valid
//   bundle-seal keygen KEY.pem                 a new Ed25519 private key
//   bundle-seal --version                      the project's version
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "host/platform/linux/bundles/seal.h"
#include "host/platform/linux/bundles/seal_keys.h"
#include "host/platform/linux/bundles/seal_writer.h"
#include "tarnwick_version.h"

namespace {

using namespace host::bundles;

constexpr int kUsage = 2;

int usage() {
    std::fputs("usage: bundle-seal seal APP.app [--key KEY.pem]\n"
               "       bundle-seal verify APP.app\n"
               "       bundle-seal keygen KEY.pem\n"
               "       bundle-seal --version\n",
               stderr);
    return kUsage;
}

std::optional<std::string> bundleRoot(const std::string& path) {
    std::error_code error;
    auto root = std::filesystem::canonical(path, error);
    if (error || !std::filesystem::is_directory(root, error)) {
        std::fprintf(stderr, "bundle-seal: %s: not a folder\n", path.c_str());
        return std::nullopt;
    }
    return root.string();
}

int seal(const std::string& path, const std::optional<std::string>& keyPath) {
    auto root = bundleRoot(path);
    if (!root) return 1;
    PrivateKey key;
    if (keyPath) {
        key = loadSigningKey(*keyPath);
        if (!key) {
            std::fprintf(stderr, "bundle-seal: %s: not an Ed25519 private key in PEM\n",
                         keyPath->c_str());
            return 1;
        }
    }
    SealOutcome outcome = sealBundle(*root, key ? &key : nullptr);
    if (!outcome.ok) {
        std::fprintf(stderr, "bundle-seal: %s: %s\n", root->c_str(), outcome.message.c_str());
        return 1;
    }
    // Checked the way the host checks it: "sealed" means the host will find it valid (a
    // bundle changed while it was being sealed does not pass).
    SealCheck check = validateSeal(*root);
    if (!check.valid()) {
        std::fprintf(stderr, "bundle-seal: %s: sealed, but the seal does not hold: %s%s%s\n",
                     root->c_str(), describe(check.fault), check.path.empty() ? "" : ": ",
                     check.path.c_str());
        return 1;
    }
    std::printf("sealed %s (%s)\n", root->c_str(), designatedRequirementText(*check.seal).c_str());
    return 0;
}

int verify(const std::string& path) {
    auto root = bundleRoot(path);
    if (!root) return 1;
    SealCheck check = validateSeal(*root);
    if (check.seal) {
        const Seal& seal = *check.seal;
        std::printf("identifier: %s\n", seal.directory.identifier.c_str());
        std::printf("team: %s\n", seal.hasSignature && seal.directory.teamIdentifier
                                      ? seal.directory.teamIdentifier->c_str()
                                      : "(none: ad hoc)");
        std::printf("cdhash: %s\n", toHex(seal.cdhash).c_str());
        std::printf("requirement: %s\n", designatedRequirementText(seal).c_str());
    }
    if (check.valid()) {
        std::printf("valid: yes\n");
        return 0;
    }
    std::printf("valid: no (%s%s%s)\n", describe(check.fault), check.path.empty() ? "" : ": ",
                check.path.c_str());
    return 1;
}

int keygen(const std::string& path) {
    PrivateKey key = generateSigningKey();
    if (!key || !saveSigningKey(key, path)) {
        std::fprintf(stderr, "bundle-seal: cannot write %s\n", path.c_str());
        return 1;
    }
    auto publicKey = rawPublicKey(key);
    if (publicKey) std::printf("team: %s\n", teamIdentifierForKey(*publicKey).c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && args[0] == "--version") {
        std::printf("bundle-seal %s\n", tarnwick::kVersion);
        return 0;
    }
    if (args.size() == 2 && args[0] == "verify") return verify(args[1]);
    if (args.size() == 2 && args[0] == "keygen") return keygen(args[1]);
    if (args.size() == 2 && args[0] == "seal") return seal(args[1], std::nullopt);
    if (args.size() == 4 && args[0] == "seal" && args[2] == "--key") return seal(args[1], args[3]);
    return usage();
}
