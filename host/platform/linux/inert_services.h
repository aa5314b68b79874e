#pragma once
// Stand-ins for services this build has no adapter for: a desktop with nothing on it.
// Each reports absence honestly (no bundle, no window list, no element...), never a
// made-up value. Also the real wall clock and random UUIDs.

#include "host/platform/platform.h"

namespace host::platform::linux_desktop {

// No login session: no display, nothing in front, no permission.
class InertSession : public SessionPort {
public:
    std::optional<SessionInfo> session() override { return std::nullopt; }
    std::optional<FrontmostApplication> frontmostApplication() override { return std::nullopt; }
    bool screenCaptureAllowed() override { return false; }
    bool accessibilityTrusted() override { return false; }
    void requestScreenCapture() override {}
    void requestAccessibility() override {}
    std::optional<std::string> ownBundleIdentifier() override { return std::nullopt; }
    void subscribe(std::function<void(ScreenNotification)>) override {}
};

class InertBundles : public BundlePort {
public:
    std::unique_ptr<Bundle> open(const std::string&) override { return nullptr; }
    std::optional<std::vector<unsigned char>> iconPng(const std::string&, int) override {
        return std::nullopt;
    }
};

class InertCodeSigning : public CodeSigningPort {
public:
    std::unique_ptr<StaticCode> createStaticCode(const std::string&) override { return nullptr; }
    bool checkStaticValidity(StaticCode&) override { return false; }
    std::optional<SigningInformation> signingInformation(StaticCode&) override {
        return std::nullopt;
    }
    std::optional<std::string> designatedRequirement(StaticCode&) override { return std::nullopt; }
    std::unique_ptr<Requirement> compileRequirement(const std::string&) override { return nullptr; }
    std::unique_ptr<LiveCode> liveCode(std::int32_t) override { return nullptr; }
    bool checkLiveValidity(LiveCode&, const Requirement&) override { return false; }
};

class InertWorkspace : public WorkspacePort {
public:
    std::vector<RunningApplication> runningApplications(const std::string&) override { return {}; }
};

class InertWindowServer : public WindowServerPort {
public:
    std::optional<std::vector<WindowInfo>> windowList(WindowListKind) override {
        return std::nullopt;
    }
};

// Every request completes at once, on the calling thread, with nothing.
class InertCapture : public CapturePort {
public:
    void shareableContent(
        std::function<void(std::optional<std::vector<ShareableWindow>>)> done) override {
        done(std::nullopt);
    }
    void captureWindow(std::uint32_t, int, int,
                       std::function<void(std::optional<CapturedImage>)> done) override {
        done(std::nullopt);
    }
};

// No elements; every request fails with the generic failure status.
class InertAccessibility : public AccessibilityPort {
public:
    static constexpr int failure = -25200;
    ElementRef createApplication(std::int32_t) override { return nullptr; }
    ElementRef createSystemWide() override { return nullptr; }
    void setMessagingTimeout(Element&, float) override {}
    AttributeResult copyAttribute(Element&, const std::string&) override {
        return {failure, std::nullopt};
    }
    ElementAtResult elementAtPosition(Element&, float, float) override { return {failure, {}}; }
    std::optional<std::int32_t> pid(Element&) override { return std::nullopt; }
    int performAction(Element&, const std::string&) override { return failure; }
    int setStringAttribute(Element&, const std::string&, const std::string&) override {
        return failure;
    }
    bool equal(const Element&, const Element&) override { return false; }
};

class InertEvents : public EventPort {
public:
    std::unique_ptr<KeyboardEvent> createKeyboardEvent(std::uint16_t, bool) override {
        return nullptr;
    }
    void postToPid(std::int32_t, KeyboardEvent&) override {}
};

class SystemClock : public Clock {
public:
    double now() override;
};

class RandomUuids : public UuidSource {
public:
    std::string randomUuid() override;
};

} // namespace host::platform::linux_desktop
