#include "host/platform/linux/bundles/linux_code_signing_port.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "host/platform/linux/bundles/linux_bundle_port.h"
#include "host/platform/linux/bundles/process_bundle.h"
#include "host/platform/linux/bundles/requirement.h"
#include "host/platform/linux/bundles/seal.h"
#include "host/platform/linux/bundles/unique_fd.h"

namespace host::bundles {
namespace {

class SealedBundle final : public platform::StaticCode {
public:
    SealedBundle(std::string root, std::span<const unsigned char> infoPlist)
        : root(std::move(root)), infoPlist_(infoPlist.begin(), infoPlist.end()) {}
    // The seal as last read; a strict check refreshes it.
    const Seal* seal() {
        if (!seal_) seal_ = readSeal(root).seal;
        return seal_ ? &*seal_ : nullptr;
    }
    bool validate() {
        SealCheck check = validateSeal(root, infoPlist_);
        seal_ = std::move(check.seal);
        return check.valid();
    }
    const std::string root;

private:
    std::vector<unsigned char> infoPlist_; // as the bundle was opened
    std::optional<Seal> seal_;
};

class RequirementHandle final : public platform::Requirement {
public:
    explicit RequirementHandle(CompiledRequirement compiled) : compiled(std::move(compiled)) {}
    const CompiledRequirement compiled;
};

class RunningCode final : public platform::LiveCode {
public:
    RunningCode(UniqueFd image, std::string bundleRoot, std::string executablePath)
        : image(std::move(image)), bundleRoot(std::move(bundleRoot)),
          executablePath(std::move(executablePath)) {}
    const UniqueFd image; // the running program's own bytes
    const std::string bundleRoot;
    const std::string executablePath;
};

std::optional<Digest> hashFromStart(int fd) {
    std::vector<unsigned char> buffer;
    if (::lseek(fd, 0, SEEK_SET) != 0) return std::nullopt;
    return sha256Fd(fd, buffer);
}

} // namespace

std::unique_ptr<platform::StaticCode>
LinuxCodeSigningPort::createStaticCode(const std::string& bundleLocation,
                                       const platform::Bundle& opened) {
    // Only a bundle this platform opened carries the Info.plist bytes the seal must vouch
    // for; anything else has nothing that could be validated.
    const auto* bundle = dynamic_cast<const LinuxBundle*>(&opened);
    if (!bundle || bundle->root() != bundleLocation) return nullptr;
    struct stat info {};
    if (::stat(bundleLocation.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return nullptr;
    return std::make_unique<SealedBundle>(bundleLocation, bundle->infoPlistBytes());
}

bool LinuxCodeSigningPort::checkStaticValidity(platform::StaticCode& code) {
    auto* bundle = dynamic_cast<SealedBundle*>(&code);
    return bundle && bundle->validate();
}

std::optional<platform::SigningInformation>
LinuxCodeSigningPort::signingInformation(platform::StaticCode& code) {
    auto* bundle = dynamic_cast<SealedBundle*>(&code);
    const Seal* seal = bundle ? bundle->seal() : nullptr;
    if (!seal) return std::nullopt;
    platform::SigningInformation information;
    information.identifier = seal->directory.identifier;
    if (seal->hasSignature) information.teamIdentifier = seal->directory.teamIdentifier;
    return information;
}

std::optional<std::string> LinuxCodeSigningPort::designatedRequirement(platform::StaticCode& code) {
    auto* bundle = dynamic_cast<SealedBundle*>(&code);
    const Seal* seal = bundle ? bundle->seal() : nullptr;
    if (!seal) return std::nullopt;
    return designatedRequirementText(*seal);
}

std::unique_ptr<platform::Requirement>
LinuxCodeSigningPort::compileRequirement(const std::string& text) {
    auto compiled = compileRequirementText(text);
    if (!compiled) return nullptr;
    return std::make_unique<RequirementHandle>(std::move(*compiled));
}

std::unique_ptr<platform::LiveCode> LinuxCodeSigningPort::liveCode(std::int32_t pid) {
    if (pid <= 0) return nullptr;
    // Opened first: whatever the link says afterwards, these are the bytes that run.
    UniqueFd image(
        ::open(("/proc/" + std::to_string(pid) + "/exe").c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
    if (!image) return nullptr;
    auto executable = processExecutable(pid);
    if (!executable) return nullptr;
    auto bundle = bundleOfExecutable(executable->path);
    if (!bundle) return nullptr;
    return std::make_unique<RunningCode>(std::move(image), std::move(*bundle),
                                         std::move(executable->path));
}

bool LinuxCodeSigningPort::checkLiveValidity(platform::LiveCode& code,
                                             const platform::Requirement& requirement) {
    auto* running = dynamic_cast<RunningCode*>(&code);
    auto* compiled = dynamic_cast<const RequirementHandle*>(&requirement);
    if (!running || !compiled) return false;

    SealCheck check = validateSeal(running->bundleRoot);
    if (!check.valid()) return false;
    const Seal& seal = *check.seal;
    if (running->executablePath != running->bundleRoot + "/" + seal.directory.mainExecutable)
        return false;
    if (hashFromStart(running->image.get()) != seal.directory.mainExecutableHash) return false;

    CodeFacts facts{seal.directory.identifier, std::nullopt, seal.cdhash};
    if (seal.hasSignature) facts.team = seal.directory.teamIdentifier;
    return compiled->compiled.satisfiedBy(facts);
}

} // namespace host::bundles
