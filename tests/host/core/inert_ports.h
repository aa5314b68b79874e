#pragma once
// Test-local stand-ins for the ports the core tests do not exercise, and a hand-driven
// main queue.

#include "host/channel/main_queue.h"
#include "host/platform/fake/fake_clock.h"
#include "host/platform/fake/fake_session.h"
#include "host/platform/platform.h"

#include <deque>
#include <functional>

namespace host::testing {

struct NoBundles : platform::BundlePort {
    std::unique_ptr<platform::Bundle> open(const std::string&) override { return nullptr; }
    std::optional<std::vector<unsigned char>> iconPng(const std::string&, int) override {
        return std::nullopt;
    }
};

struct NoCodeSigning : platform::CodeSigningPort {
    std::unique_ptr<platform::StaticCode> createStaticCode(const std::string&) override {
        return nullptr;
    }
    bool checkStaticValidity(platform::StaticCode&) override { return false; }
    std::optional<platform::SigningInformation> signingInformation(platform::StaticCode&) override {
        return std::nullopt;
    }
    std::optional<std::string> designatedRequirement(platform::StaticCode&) override {
        return std::nullopt;
    }
    std::unique_ptr<platform::Requirement> compileRequirement(const std::string&) override {
        return nullptr;
    }
    std::unique_ptr<platform::LiveCode> liveCode(std::int32_t) override { return nullptr; }
    bool checkLiveValidity(platform::LiveCode&, const platform::Requirement&) override {
        return false;
    }
};

struct NoWorkspace : platform::WorkspacePort {
    std::vector<platform::RunningApplication> runningApplications(const std::string&) override {
        return {};
    }
};

struct NoWindowServer : platform::WindowServerPort {
    std::optional<std::vector<platform::WindowInfo>> windowList(platform::WindowListKind) override {
        return std::nullopt;
    }
};

struct NoCapture : platform::CapturePort {
    void shareableContent(
        std::function<void(std::optional<std::vector<platform::ShareableWindow>>)> done) override {
        done(std::nullopt);
    }
    void captureWindow(std::uint32_t, int, int,
                       std::function<void(std::optional<platform::CapturedImage>)> done) override {
        done(std::nullopt);
    }
};

struct NoAccessibility : platform::AccessibilityPort {
    platform::ElementRef createApplication(std::int32_t) override { return nullptr; }
    platform::ElementRef createSystemWide() override { return nullptr; }
    void setMessagingTimeout(platform::Element&, float) override {}
    platform::AttributeResult copyAttribute(platform::Element&, const std::string&) override {
        return {-1, std::nullopt};
    }
    platform::ElementAtResult elementAtPosition(platform::Element&, float, float) override {
        return {-1, {}};
    }
    std::optional<std::int32_t> pid(platform::Element&) override { return std::nullopt; }
    int performAction(platform::Element&, const std::string&) override { return -1; }
    int setStringAttribute(platform::Element&, const std::string&, const std::string&) override {
        return -1;
    }
    bool equal(const platform::Element&, const platform::Element&) override { return false; }
};

struct NoEvents : platform::EventPort {
    std::unique_ptr<platform::KeyboardEvent> createKeyboardEvent(std::uint16_t, bool) override {
        return nullptr;
    }
    void postToPid(std::int32_t, platform::KeyboardEvent&) override {}
};

// Runs jobs only when the test says so, in the order they were posted.
class ManualQueue : public MainQueue {
public:
    void post(std::function<void()> job) override { jobs.push_back(std::move(job)); }
    bool runOne() {
        if (jobs.empty()) return false;
        auto job = std::move(jobs.front());
        jobs.pop_front();
        job();
        return true;
    }
    void runAll() {
        while (runOne()) {
        }
    }
    std::deque<std::function<void()>> jobs;
};

// A desktop made of the fake session and clock and nothing else.
struct FakeDesktopParts {
    platform::fake::FakeSession session;
    NoBundles bundles;
    NoCodeSigning codeSigning;
    NoWorkspace workspace;
    NoWindowServer windowServer;
    NoCapture capture;
    NoAccessibility accessibility;
    NoEvents events;
    platform::fake::FakeClock clock;
    platform::fake::FakeUuids uuids;
    platform::Platform platform{session, bundles,       codeSigning, workspace, windowServer,
                                capture, accessibility, events,      clock,     uuids};
};

} // namespace host::testing
