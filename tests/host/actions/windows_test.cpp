#include "world.h"

#include "host/inventory/target.h"
#include "host/inventory/windows.h"

#include <gtest/gtest.h>

#include <functional>

namespace host::testing {
namespace {

using platform::Rect;
using platform::WindowInfo;

common::Json listed(World& world) {
    auto list = common::Json::array();
    for (const auto& window : windows(world.host, world.desktop.platform(), world.app))
        list.push_back(windowObject(window));
    return list;
}

std::string windowsCode(World& world, const common::Json& app) {
    try {
        windows(world.host, world.desktop.platform(), app);
        return "ok";
    } catch (const HostError& error) {
        return std::string(error.name());
    }
}

TEST(Windows, ListsTheApplicationsOrdinaryWindows) {
    World world;
    const common::Json expected = {
        {{"title", "Shopping list"},
         {"windowId", kWindow},
         {"pid", kPid},
         {"bounds", {{"x", 100.0}, {"y", 120.0}, {"width", 800.0}, {"height", 600.0}}}}};
    EXPECT_EQ(listed(world), expected);
    auto answer = world.call("windows", {{"app", world.app}});
    ASSERT_EQ(codeOf(answer), "ok");
    EXPECT_EQ(std::get<common::Json>(*answer), (common::Json{{"windows", expected}}));
}

TEST(Windows, TheGateComesFirstThenTheIdentity) {
    struct Row {
        const char* what;
        std::function<void(World&)> apply;
        common::Json app; // null: the world's own
        const char* code;
        bool framesKept;
    };
    const Row rows[] = {
        {"locked, with an empty app",
         [](World& w) { w.desktop.session.info->screenIsLocked = true; }, common::Json::object(),
         "mac_locked", false},
        {"asleep",
         [](World& w) { w.desktop.session.deliver(platform::ScreenNotification::ScreensDidSleep); },
         nullptr, "mac_locked", false},
        {"no capture permission", [](World& w) { w.desktop.session.screenAllowed = false; },
         common::Json::object(), "screen_permission_required", true},
        {"bundle gone", [](World& w) { w.desktop.bundles.bundles.clear(); }, nullptr, "invalid_app",
         true},
        {"seal broken",
         [](World& w) { w.desktop.codeSigning.signatures.begin()->second.valid = false; }, nullptr,
         "unsigned_app", true},
        {"requirement does not compile",
         [](World& w) { w.desktop.codeSigning.uncompilable.insert(w.notes.requirement()); },
         nullptr, "app_changed", true},
    };
    for (const auto& row : rows) {
        World world;
        world.observed();
        world.queue.runAll();
        row.apply(world);
        world.queue.runAll();
        const auto before = world.host.frames().size();
        EXPECT_EQ(windowsCode(world, row.app.is_null() ? world.app : row.app), row.code)
            << row.what;
        EXPECT_EQ(world.host.frames().size(), row.framesKept ? before : 0u) << row.what;
    }
}

TEST(Windows, EveryPinnedMemberMustBePresentAndEqual) {
    World world;
    for (const char* member : {"bundleId", "signedId", "teamId", "executable", "requirement"}) {
        auto changed = world.app;
        changed[member] = changed[member].get<std::string>() + "x";
        EXPECT_EQ(windowsCode(world, changed), "app_changed") << member;
        changed.erase(member);
        EXPECT_EQ(windowsCode(world, changed), "app_changed") << member;
        changed[member] = 7;
        EXPECT_EQ(windowsCode(world, changed), "app_changed") << member;
    }
    auto cosmetic = world.app; // name and icon do not pin anything
    cosmetic.erase("name");
    cosmetic["icon"] = 3;
    EXPECT_EQ(windowsCode(world, cosmetic), "ok");

    // Without a team, "" matches and an absent member does not.
    world.desktop.codeSigning.signatures.begin()->second.information->teamIdentifier.reset();
    auto noTeam = world.app;
    noTeam["teamId"] = "";
    EXPECT_EQ(windowsCode(world, noTeam), "ok");
    noTeam.erase("teamId");
    EXPECT_EQ(windowsCode(world, noTeam), "app_changed");
}

TEST(Windows, OnlyRunningInstancesWithMatchingLiveCodeContribute) {
    struct Row {
        const char* what;
        std::function<void(World&)> apply;
        std::size_t count;
    };
    const Row rows[] = {
        {"not running", [](World& w) { w.desktop.workspace.running.clear(); }, 0},
        {"another copy of the application",
         [](World& w) {
             w.desktop.workspace.running.begin()->second[0].executablePath = "/Other.app/x";
         },
         0},
        {"no executable reported",
         [](World& w) { w.desktop.workspace.running.begin()->second[0].executablePath.reset(); },
         0},
        {"no live code", [](World& w) { w.desktop.codeSigning.processes[kPid].available = false; },
         0},
        {"live code invalid", [](World& w) { w.desktop.codeSigning.processes[kPid].valid = false; },
         0},
        {"live code of another signer",
         [](World& w) { w.desktop.codeSigning.processes[kPid].satisfies = "identifier \"x\""; }, 0},
        {"executable reached through a link",
         [](World& w) {
             w.desktop.workspace.running.begin()->second[0].executablePath =
                 "/Applications/Notes.app/Contents/../Contents/MacOS/Notes";
         },
         1},
        {"a second instance",
         [](World& w) {
             w.desktop.launch(w.notes, 502);
             w.desktop.addWindow(502, 43, {0, 0, 300, 200});
         },
         2},
    };
    for (const auto& row : rows) {
        World world;
        row.apply(world);
        EXPECT_EQ(listed(world).size(), row.count) << row.what;
    }
}

TEST(Windows, WindowsAreFilteredInOrder) {
    World world;
    auto& list = *world.desktop.windowServer.windows;
    list.clear();
    const std::string longTitle(130, 'w');
    const std::vector<WindowInfo> entries = {
        {kPid, 1, 0, Rect{0, 0, 81, 61}, longTitle, 1.0}, // listed, title cut
        {kPid, 2, 0, Rect{0, 0, 80, 200}, "narrow", 1.0},
        {kPid, 3, 0, Rect{0, 0, 200, 60}, "flat", 1.0},
        {kPid, 4, 1, Rect{0, 0, 500, 500}, "panel", 1.0},
        {kPid, 5, std::nullopt, Rect{0, 0, 500, 500}, "no layer", 1.0},
        {kPid, 6, 0, std::nullopt, "no bounds", 1.0},
        {kPid, -1, 0, Rect{0, 0, 500, 500}, "negative number", 1.0},
        {kPid, 4294967296LL, 0, Rect{0, 0, 500, 500}, "number too wide", 1.0},
        {kPid + 4294967296LL, 7, 0, Rect{0, 0, 500, 500}, "pid too wide", 1.0},
        {999, 8, 0, Rect{0, 0, 500, 500}, "another process", 1.0},
        {std::nullopt, 9, 0, Rect{0, 0, 500, 500}, "no owner", 1.0},
        {kPid, 4294967295LL, 0, Rect{300, 400, -200, -100}, std::nullopt, 1.0}, // listed
    };
    list = entries;
    const auto result = listed(world);
    ASSERT_EQ(result.size(), 2u);
    EXPECT_EQ(result[0]["windowId"], 1);
    EXPECT_EQ(result[0]["title"], longTitle.substr(0, 120));
    EXPECT_EQ(result[1]["windowId"], 4294967295u);
    EXPECT_EQ(result[1]["title"], "");
    EXPECT_EQ(result[1]["bounds"],
              (common::Json{{"x", 100.0}, {"y", 300.0}, {"width", 200.0}, {"height", 100.0}}));

    world.desktop.windowServer.windows.reset(); // no list at all
    EXPECT_EQ(listed(world), common::Json::array());
}

TEST(WindowsMethod, WithoutAnAppObjectListsForTheEmptyPath) {
    World world;
    EXPECT_EQ(world.codeFor("windows", common::Json::object()), "invalid_app");
    EXPECT_EQ(world.codeFor("windows", {{"app", "Notes"}}), "invalid_app");
}

TEST(Target, MalformedRequestsAreRefusedBeforeTheGate) {
    World world;
    world.desktop.session.info->screenIsLocked = true;
    const common::Json app = world.app;
    const common::Json rows[] = {
        {{"target", {{"windowId", kWindow}, {"pid", kPid}}}},
        {{"app", "x"}, {"target", {{"windowId", kWindow}, {"pid", kPid}}}},
        {{"app", app}},
        {{"app", app}, {"target", {{"windowId", "42"}, {"pid", kPid}}}},
        {{"app", app}, {"target", {{"windowId", 42.5}, {"pid", kPid}}}},
        {{"app", app}, {"target", {{"windowId", -1}, {"pid", kPid}}}},
        {{"app", app}, {"target", {{"windowId", 4294967296.0}, {"pid", kPid}}}},
        {{"app", app}, {"target", {{"windowId", kWindow}}}},
        {{"app", app}, {"target", {{"windowId", kWindow}, {"pid", 2147483648.0}}}},
    };
    for (const auto& params : rows) {
        EXPECT_EQ(world.codeFor("observe", params), "target_changed") << params;
        EXPECT_EQ(world.codeFor("click", params), "target_changed") << params;
    }
    // Well formed, it meets the gate.
    EXPECT_EQ(world.codeFor("observe", world.targetParams()), "mac_locked");
}

TEST(Target, ResolvesTheCurrentBoundsOfTheNamedWindow) {
    World world;
    auto params = world.targetParams();
    params["target"]["windowId"] = 42.0;
    auto resolved = target(world.host, world.desktop.platform(), params);
    EXPECT_EQ(resolved.windowId, kWindow);
    EXPECT_EQ(resolved.pid, kPid);
    EXPECT_EQ(resolved.bounds, kBounds);

    (*world.desktop.windowServer.windows)[0].bounds = Rect{10, 20, 800, 600}; // moved
    EXPECT_EQ(target(world.host, world.desktop.platform(), params).bounds,
              (Rect{10, 20, 800, 600}));

    // The number now belongs to another process.
    (*world.desktop.windowServer.windows)[0].ownerPid = 777;
    world.desktop.launch(world.notes, 777);
    EXPECT_EQ(world.codeFor("observe", params), "target_changed");

    auto changed = world.targetParams();
    changed["app"]["requirement"] = "identifier \"other\"";
    EXPECT_EQ(world.codeFor("observe", changed), "app_changed");
}

} // namespace
} // namespace host::testing
