#include "host/platform/fake/fake_code_signing.h"

namespace host::platform::fake {
namespace {

struct Static : platform::StaticCode {
    explicit Static(FakeSignature s) : signature(std::move(s)) {}
    FakeSignature signature;
};

struct Live : platform::LiveCode {
    explicit Live(FakeProcessCode c) : code(std::move(c)) {}
    FakeProcessCode code;
};

struct Compiled : platform::Requirement {
    explicit Compiled(std::string t) : text(std::move(t)) {}
    std::string text;
};

const FakeSignature& signatureOf(platform::StaticCode& code) {
    return dynamic_cast<Static&>(code).signature;
}

} // namespace

std::unique_ptr<platform::StaticCode> FakeCodeSigning::createStaticCode(const std::string& location,
                                                                        const platform::Bundle&) {
    auto found = signatures.find(location);
    if (found == signatures.end() || !found->second.creatable) return nullptr;
    return std::make_unique<Static>(found->second);
}

bool FakeCodeSigning::checkStaticValidity(platform::StaticCode& code) {
    ++staticChecks;
    return signatureOf(code).valid;
}

std::optional<platform::SigningInformation>
FakeCodeSigning::signingInformation(platform::StaticCode& code) {
    return signatureOf(code).information;
}

std::optional<std::string> FakeCodeSigning::designatedRequirement(platform::StaticCode& code) {
    return signatureOf(code).requirement;
}

std::unique_ptr<platform::Requirement>
FakeCodeSigning::compileRequirement(const std::string& text) {
    if (text.empty() || uncompilable.contains(text)) return nullptr;
    return std::make_unique<Compiled>(text);
}

std::unique_ptr<platform::LiveCode> FakeCodeSigning::liveCode(std::int32_t pid) {
    auto found = processes.find(pid);
    if (found == processes.end() || !found->second.available) return nullptr;
    return std::make_unique<Live>(found->second);
}

bool FakeCodeSigning::checkLiveValidity(platform::LiveCode& code,
                                        const platform::Requirement& requirement) {
    const auto& live = dynamic_cast<Live&>(code).code;
    return live.valid && live.satisfies == dynamic_cast<const Compiled&>(requirement).text;
}

} // namespace host::platform::fake
