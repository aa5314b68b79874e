#pragma once
// Code signatures: static validity of a bundle on disk, live validity of a process.
// Every "nothing" below stands for a non-zero status or a missing object alike.

#include "host/platform/bundle_port.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace host::platform {

class StaticCode {
public:
    virtual ~StaticCode() = default;
};

class LiveCode {
public:
    virtual ~LiveCode() = default;
};

class Requirement {
public:
    virtual ~Requirement() = default;
};

struct SigningInformation {
    // Each nothing when absent or not a string.
    std::optional<std::string> identifier;
    std::optional<std::string> teamIdentifier;
};

class CodeSigningPort {
public:
    virtual ~CodeSigningPort() = default;
    // The static code of the bundle at `bundleLocation`, which the caller has just opened as
    // `opened`. Where checking the seal reads the bundle's information (Info.plist), it
    // judges what `opened` read, so the identity reported is the one validated.
    virtual std::unique_ptr<StaticCode> createStaticCode(const std::string& bundleLocation,
                                                         const Bundle& opened) = 0;
    // Strict validation of the whole bundle, with no additional requirement.
    virtual bool checkStaticValidity(StaticCode& code) = 0;
    // Nothing also when the record itself is malformed (keys that are not strings).
    virtual std::optional<SigningInformation> signingInformation(StaticCode& code) = 0;
    // The designated requirement as text in the requirement language.
    virtual std::optional<std::string> designatedRequirement(StaticCode& code) = 0;
    virtual std::unique_ptr<Requirement> compileRequirement(const std::string& text) = 0;
    virtual std::unique_ptr<LiveCode> liveCode(std::int32_t pid) = 0;
    // Strict validation of the running code, which must also satisfy `requirement`.
    virtual bool checkLiveValidity(LiveCode& code, const Requirement& requirement) = 0;
};

} // namespace host::platform
