#pragma once
// Ports that have nothing to report, for the tests that exercise none of them, and a
// desktop made of the fake session and clock and nothing else.

#include "host/platform/absent_ports.h"
#include "host/platform/fake/fake_clock.h"
#include "host/platform/fake/fake_session.h"
#include "host/platform/platform.h"

namespace test_support {

using host::platform::NoCapture;
using host::platform::NoEvents;
using host::platform::NoWindowServer;

struct NoBundles : host::platform::BundlePort {
    std::unique_ptr<host::platform::Bundle> open(const std::string&) override { return nullptr; }
};

struct NoCodeSigning : host::platform::CodeSigningPort {
    std::unique_ptr<host::platform::StaticCode>
    createStaticCode(const std::string&, const host::platform::Bundle&) override {
        return nullptr;
    }
    bool checkStaticValidity(host::platform::StaticCode&) override { return false; }
    std::optional<host::platform::SigningInformation>
    signingInformation(host::platform::StaticCode&) override {
        return std::nullopt;
    }
    std::optional<std::string> designatedRequirement(host::platform::StaticCode&) override {
        return std::nullopt;
    }
    std::unique_ptr<host::platform::Requirement> compileRequirement(const std::string&) override {
        return nullptr;
    }
    std::unique_ptr<host::platform::LiveCode> liveCode(std::int32_t) override { return nullptr; }
    bool checkLiveValidity(host::platform::LiveCode&, const host::platform::Requirement&) override {
        return false;
    }
};

struct NoWorkspace : host::platform::WorkspacePort {
    std::vector<host::platform::RunningApplication>
    runningApplications(const std::string&) override {
        return {};
    }
};

struct NoAccessibility : host::platform::AccessibilityPort {
    host::platform::ElementRef createApplication(std::int32_t) override { return nullptr; }
    host::platform::ElementRef createSystemWide() override { return nullptr; }
    void setMessagingTimeout(host::platform::Element&, float) override {}
    host::platform::AttributeResult copyAttribute(host::platform::Element&,
                                                  const std::string&) override {
        return {host::platform::AxStatus::Failure, std::nullopt};
    }
    host::platform::ElementAtResult elementAtPosition(host::platform::Element&, float,
                                                      float) override {
        return {host::platform::AxStatus::Failure, {}};
    }
    std::optional<std::int32_t> pid(host::platform::Element&) override { return std::nullopt; }
    host::platform::AxStatus performAction(host::platform::Element&, const std::string&) override {
        return host::platform::AxStatus::Failure;
    }
    host::platform::AxStatus setStringAttribute(host::platform::Element&, const std::string&,
                                                const std::string&) override {
        return host::platform::AxStatus::Failure;
    }
    bool equal(const host::platform::Element&, const host::platform::Element&) override {
        return false;
    }
};

// A desktop made of the fake session and clock and nothing else.
struct FakeDesktopParts {
    host::platform::fake::FakeSession session;
    NoBundles bundles;
    NoCodeSigning codeSigning;
    NoWorkspace workspace;
    NoWindowServer windowServer;
    NoCapture capture;
    NoAccessibility accessibility;
    NoEvents events;
    host::platform::fake::FakeClock clock;
    host::platform::fake::FakeUuids uuids;
    host::platform::Platform platform{session, bundles,       codeSigning, workspace, windowServer,
                                      capture, accessibility, events,      clock,     uuids};
};

} // namespace test_support
