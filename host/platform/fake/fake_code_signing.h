#pragma once
// Code signatures of the in-memory desktop: static seals by bundle location, live code by
// process. A live process satisfies exactly the requirement text it is given.

#include "host/platform/code_signing_port.h"

#include <map>
#include <set>
#include <string>

namespace host::platform::fake {

struct FakeSignature {
    bool creatable = true; // the static code object can be made
    bool valid = true;     // strict validation passes
    std::optional<platform::SigningInformation> information;
    std::optional<std::string> requirement; // designated requirement text
};

struct FakeProcessCode {
    bool available = true; // a live code object can be had for the pid
    bool valid = true;
    std::string satisfies; // the one requirement text this process satisfies
};

class FakeCodeSigning : public platform::CodeSigningPort {
public:
    std::map<std::string, FakeSignature> signatures; // by bundle location; missing: no code
    std::map<std::int32_t, FakeProcessCode> processes;
    std::set<std::string> uncompilable; // requirement texts that do not compile
    int staticChecks = 0;

    std::unique_ptr<platform::StaticCode> createStaticCode(const std::string& location,
                                                           const platform::Bundle&) override;
    bool checkStaticValidity(platform::StaticCode& code) override;
    std::optional<platform::SigningInformation>
    signingInformation(platform::StaticCode& code) override;
    std::optional<std::string> designatedRequirement(platform::StaticCode& code) override;
    std::unique_ptr<platform::Requirement> compileRequirement(const std::string& text) override;
    std::unique_ptr<platform::LiveCode> liveCode(std::int32_t pid) override;
    bool checkLiveValidity(platform::LiveCode& code,
                           const platform::Requirement& requirement) override;
};

} // namespace host::platform::fake
