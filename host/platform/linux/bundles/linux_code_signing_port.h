#pragma once
// Code signing over the bundle seal.
//
// Static validity is strict validation of the whole seal (seal.h), over the Info.plist
// bytes that the bundle was opened with (linux_bundle_port.h). Live validity of a
// process asks for three things: the process runs the bundle's sealed main executable
// (/proc/PID/exe is that path), the bytes it runs hash to the sealed value (read through
// /proc/PID/exe, so a binary replaced on disk after start is still judged by what runs),
// and the bundle's seal on disk is strictly valid as a whole and satisfies the
// requirement. A running process whose bundle was modified or re-sealed since it started
// is therefore not valid: what runs is no longer what the seal vouches for.

#include "host/platform/code_signing_port.h"

namespace host::bundles {

class LinuxCodeSigningPort final : public platform::CodeSigningPort {
public:
    // Nothing unless `opened` is a LinuxBundle of that location.
    std::unique_ptr<platform::StaticCode> createStaticCode(const std::string& bundleLocation,
                                                           const platform::Bundle& opened) override;
    bool checkStaticValidity(platform::StaticCode& code) override;
    std::optional<platform::SigningInformation>
    signingInformation(platform::StaticCode& code) override;
    std::optional<std::string> designatedRequirement(platform::StaticCode& code) override;
    std::unique_ptr<platform::Requirement> compileRequirement(const std::string& text) override;
    std::unique_ptr<platform::LiveCode> liveCode(std::int32_t pid) override;
    bool checkLiveValidity(platform::LiveCode& code,
                           const platform::Requirement& requirement) override;
};

} // namespace host::bundles
