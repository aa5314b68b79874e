// The method table and the three methods the host performs itself.

#include "host/actions/dispatcher.h"
#include "host/session/host.h"
#include "tests/support/manual_queue.h"
#include "tests/support/no_ports.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace host {
namespace {

using common::Json;

class DispatcherTest : public ::testing::Test {
protected:
    test_support::FakeDesktopParts desktop;
    test_support::ManualQueue queue;
    Host host{desktop.platform, queue};

    // Runs one request to its end; checks that it is answered exactly once.
    Outcome run(const std::string& method, const Json& params = Json::object()) {
        std::vector<Outcome> outcomes;
        handle(host, desktop.platform, method, params,
               [&](Outcome outcome) { outcomes.push_back(outcome); });
        queue.runAll();
        EXPECT_EQ(outcomes.size(), 1u) << method;
        return outcomes.empty() ? Outcome{EngineFailure{}} : outcomes.front();
    }
    static std::string code(const Outcome& outcome) {
        if (auto* error = std::get_if<HostError>(&outcome)) return std::string(error->name());
        if (std::holds_alternative<EngineFailure>(outcome)) return "engine_failed";
        return "";
    }
};

TEST_F(DispatcherTest, UnknownNamesAreRefusedBeforeAnythingIsRead) {
    const Json malformed = {{"kind", 5}, {"app", "x"}, {"target", {1, 2}}, {"frameId", nullptr}};
    for (const char* name :
         {"Status", "STATUS", "status ", "key", "", "Clear", "pressKey", "press-key", "typeText"}) {
        desktop.session.sessionReads = 0;
        EXPECT_EQ(code(run(name, malformed)), "unknown_method") << name;
        EXPECT_EQ(desktop.session.sessionReads, 0);
        EXPECT_EQ(desktop.session.screenRequests + desktop.session.accessibilityRequests, 0);
    }
}

TEST_F(DispatcherTest, EveryNameOfTheTableIsAMethod) {
    ASSERT_EQ(methodNames().size(), 10u);
    for (auto name : methodNames())
        EXPECT_NE(code(run(std::string(name))), "unknown_method") << name;
}

TEST_F(DispatcherTest, StatusAnswersTheSnapshotEvenWhileLocked) {
    desktop.session.info = platform::SessionInfo{true, true};
    const auto outcome = run("status", Json{{"ignored", true}});
    ASSERT_TRUE(std::holds_alternative<Json>(outcome));
    EXPECT_EQ(std::get<Json>(outcome), host.state());
    EXPECT_EQ(std::get<Json>(outcome)["locked"], true);
}

TEST_F(DispatcherTest, PermissionRequestsOnlyTheNamedPromptAndAnswersTheSnapshot) {
    auto outcome = run("permission", Json{{"kind", "screen"}});
    ASSERT_TRUE(std::holds_alternative<Json>(outcome));
    EXPECT_EQ(std::get<Json>(outcome), std::get<Json>(run("status")));
    EXPECT_EQ(desktop.session.screenRequests, 1);
    EXPECT_EQ(desktop.session.accessibilityRequests, 0);

    outcome = run("permission", Json{{"kind", "accessibility"}});
    ASSERT_TRUE(std::holds_alternative<Json>(outcome));
    EXPECT_EQ(desktop.session.screenRequests, 1);
    EXPECT_EQ(desktop.session.accessibilityRequests, 1);
}

TEST_F(DispatcherTest, PermissionWithAnyOtherKindIsInvalidAndPromptsNothing) {
    const Json kinds[] = {
        Json::object(),          Json{{"kind", "Screen"}}, Json{{"kind", "screen "}},
        Json{{"kind", nullptr}}, Json{{"kind", 1}},        Json{{"kind", Json::array({"screen"})}},
        Json{{"kind", ""}},      Json{{"Kind", "screen"}}};
    for (const auto& params : kinds)
        EXPECT_EQ(code(run("permission", params)), "invalid_permission") << params.dump();
    EXPECT_EQ(desktop.session.screenRequests + desktop.session.accessibilityRequests, 0);
}

TEST_F(DispatcherTest, PermissionSnapshotIsTakenAfterThePrompt) {
    class GrantingSession : public platform::fake::FakeSession {
    public:
        void requestScreenCapture() override { screenAllowed = true; }
    };
    GrantingSession session;
    session.screenAllowed = false;
    auto platform = desktop.platform;
    platform::Platform granting{session,
                                platform.bundles,
                                platform.codeSigning,
                                platform.workspace,
                                platform.windowServer,
                                platform.capture,
                                platform.accessibility,
                                platform.events,
                                platform.clock,
                                platform.uuids};
    Host other(granting, queue);
    std::optional<Outcome> outcome;
    handle(other, granting, "permission", Json{{"kind", "screen"}},
           [&](Outcome o) { outcome = o; });
    ASSERT_TRUE(outcome && std::holds_alternative<Json>(*outcome));
    EXPECT_EQ(std::get<Json>(*outcome)["screen"], true);
}

TEST_F(DispatcherTest, ClearEmptiesTheRegistryEveryTimeWithoutTheGate) {
    desktop.session.info = std::nullopt; // the gate would refuse
    host.frames().registerFrame(1, 2, {});
    host.frames().registerFrame(1, 2, {});
    for (int i = 0; i < 2; ++i) {
        const auto outcome = run("clear", Json{{"frameId", "x"}});
        ASSERT_TRUE(std::holds_alternative<Json>(outcome));
        EXPECT_EQ(common::compact(std::get<Json>(outcome)), R"({"cleared":true})");
        EXPECT_EQ(host.frames().size(), 0u);
    }
    EXPECT_EQ(desktop.session.sessionReads, 0);
}

TEST(DispatcherFailureTest, AFailureThatIsNotAHostErrorIsAnEngineFailure) {
    class BrokenSession : public platform::fake::FakeSession {
    public:
        std::optional<platform::SessionInfo> session() override {
            throw std::runtime_error("service gone");
        }
    };
    test_support::FakeDesktopParts parts;
    BrokenSession session;
    platform::Platform platform{
        session,       parts.bundles,       parts.codeSigning, parts.workspace, parts.windowServer,
        parts.capture, parts.accessibility, parts.events,      parts.clock,     parts.uuids};
    test_support::ManualQueue queue;
    Host host(platform, queue);
    int answers = 0;
    handle(host, platform, "status", Json::object(), [&](Outcome outcome) {
        ++answers;
        EXPECT_TRUE(std::holds_alternative<EngineFailure>(outcome));
    });
    EXPECT_EQ(answers, 1);
}

} // namespace
} // namespace host
