#include "acting.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace host::testing {
namespace {

using platform::Point;
using platform::Size;

struct Row {
    const char* what;
    std::function<void(Acting&)> setup;
    common::Json extra; // members merged into the request; null removes one
    const char* code;
    bool frameKept;
};

void shiftFocusedWindow(Acting& a, double dx, double dy, double dw, double dh) {
    a.focusedWindow->set("AXPosition", Point{kBounds.x + dx, kBounds.y + dy});
    a.focusedWindow->set("AXSize", Size{kBounds.width + dw, kBounds.height + dh});
}

TEST(Preflight, CodesInTheirOrderWithTheFramesFate) {
    auto untrusted = [](Acting& a) { a.desktop.session.trusted = false; };
    const Row rows[] = {
        {"all well", {}, {{"key", "Tab"}}, "ok", false},
        {"no target, untrusted, no frameId",
         untrusted,
         {{"target", nullptr}, {"frameId", nullptr}},
         "target_changed",
         true},
        {"locked",
         [](Acting& a) { a.desktop.session.info->screenIsLocked = true; },
         {},
         "mac_locked",
         false},
        {"no capture permission",
         [](Acting& a) { a.desktop.session.screenAllowed = false; },
         {},
         "screen_permission_required",
         true},
        {"app changed", {}, {{"app", {{"path", "/Applications/Notes.app"}}}}, "app_changed", true},
        {"window closed",
         [](Acting& a) { a.desktop.closeWindow(kWindow); },
         {},
         "target_changed",
         true},
        {"untrusted", untrusted, {}, "accessibility_permission_required", true},
        {"no frameId", {}, {{"frameId", nullptr}}, "stale_frame", true},
        {"frameId as a number", {}, {{"frameId", 7}}, "stale_frame", true},
        {"unknown frameId",
         {},
         {{"frameId", "00000000-0000-4000-8000-00000000FFFF"}},
         "stale_frame",
         true},
        {"window moved since the capture",
         [](Acting& a) {
             (*a.desktop.windowServer.windows)[0].bounds = platform::Rect{101, 120, 800, 600};
         },
         {},
         "stale_frame",
         false},
        {"frame 30.0 s old",
         [](Acting& a) { a.desktop.clock.advance(30.0); },
         {},
         "stale_frame",
         false},
        {"frame 29.9 s old",
         [](Acting& a) { a.desktop.clock.advance(29.9); },
         {{"key", "Tab"}},
         "ok",
         false},
        {"clock set back",
         [](Acting& a) { a.desktop.clock.advance(-100); },
         {{"key", "Tab"}},
         "ok",
         false},
        {"another application in front",
         [](Acting& a) { a.desktop.session.frontmost->pid = 7; },
         {},
         "target_not_frontmost",
         false},
        {"nothing in front",
         [](Acting& a) { a.desktop.session.frontmost.reset(); },
         {},
         "target_not_frontmost",
         false},
        {"focused window unreadable",
         [](Acting& a) { a.application->attributes["AXFocusedWindow"].status = AxStatus::Failure; },
         {},
         "target_unavailable",
         false},
        {"no focused window",
         [](Acting& a) { a.application->attributes.erase("AXFocusedWindow"); },
         {},
         "target_unavailable",
         false},
        {"focused window not an element",
         [](Acting& a) { a.application->set("AXFocusedWindow", std::string("w")); },
         {},
         "target_unavailable",
         false},
        {"position unreadable",
         [](Acting& a) { a.focusedWindow->attributes["AXPosition"].status = AxStatus::Failure; },
         {},
         "target_unavailable",
         false},
        {"size unreadable, position of the wrong kind",
         [](Acting& a) {
             a.focusedWindow->set("AXPosition", Size{1, 1});
             a.focusedWindow->attributes["AXSize"].status = AxStatus::Failure;
         },
         {},
         "target_unavailable",
         false},
        {"position missing",
         [](Acting& a) { a.focusedWindow->attributes["AXPosition"].value.reset(); },
         {},
         "target_changed",
         false},
        {"size of the wrong kind",
         [](Acting& a) { a.focusedWindow->set("AXSize", platform::OtherValue{}); },
         {},
         "target_changed",
         false},
        {"off by 1.9 everywhere",
         [](Acting& a) { shiftFocusedWindow(a, 1.9, -1.9, 1.9, -1.9); },
         {{"key", "Tab"}},
         "ok",
         false},
        {"x off by 2.0",
         [](Acting& a) { shiftFocusedWindow(a, 2, 0, 0, 0); },
         {},
         "target_changed",
         false},
        {"y off by 2.0",
         [](Acting& a) { shiftFocusedWindow(a, 0, -2, 0, 0); },
         {},
         "target_changed",
         false},
        {"width off by 2.0",
         [](Acting& a) { shiftFocusedWindow(a, 0, 0, 2, 0); },
         {},
         "target_changed",
         false},
        {"height off by 2.0",
         [](Acting& a) { shiftFocusedWindow(a, 0, 0, 0, -2); },
         {},
         "target_changed",
         false},
        {"height not a number",
         [](Acting& a) { shiftFocusedWindow(a, 0, 0, 0, NAN); },
         {},
         "target_changed",
         false},
        {"the method's own parameter comes last", {}, {{"key", "tab"}}, "unsupported_key", false},
    };
    for (const auto& row : rows) {
        Acting acting;
        EXPECT_EQ(acting.act("press_key", row.extra, row.setup), row.code) << row.what;
        EXPECT_EQ(acting.remembered, row.frameKept) << row.what;
        EXPECT_EQ(acting.desktop.accessibility.liveElements(), 0) << row.what;
    }
}

TEST(Preflight, AFrameServesOneRequestEvenAFailedOne) {
    Acting acting;
    acting.act("press_key", {}, [](Acting& a) { a.desktop.session.frontmost->pid = 7; });
    acting.desktop.session.frontmost->pid = kPid;
    auto params = acting.actionParams(acting.frameId);
    params["key"] = "Tab";
    EXPECT_EQ(acting.codeFor("press_key", params), "stale_frame");
    EXPECT_TRUE(acting.desktop.events.posted.empty());
}

TEST(Preflight, TrustGrantedLaterFindsTheFrameStillThere) {
    Acting acting;
    acting.frameId = acting.observed()["frameId"].get<std::string>();
    auto params = acting.actionParams(acting.frameId);
    params["key"] = "Tab";
    acting.desktop.session.trusted = false;
    EXPECT_EQ(acting.codeFor("press_key", params), "accessibility_permission_required");
    acting.desktop.session.trusted = true;
    EXPECT_EQ(acting.codeFor("press_key", params), "ok");
    EXPECT_EQ(acting.application->messagingTimeout, 2.0f);
}

TEST(Preflight, ClearAndScreenNotificationsForgetFrames) {
    for (auto forget : std::initializer_list<std::function<void(Acting&)>>{
             [](Acting& a) { a.codeFor("clear", {}); },
             [](Acting& a) {
                 a.desktop.session.deliver(platform::ScreenNotification::ScreenIsUnlocked);
             },
             [](Acting& a) {
                 a.desktop.session.deliver(platform::ScreenNotification::ScreensDidWake);
             },
         }) {
        Acting acting;
        EXPECT_EQ(acting.act("press_key", {{"key", "Tab"}}, forget), "stale_frame");
    }
}

} // namespace
} // namespace host::testing
