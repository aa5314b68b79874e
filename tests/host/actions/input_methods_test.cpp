#include "acting.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

namespace host::testing {
namespace {

using platform::Rect;
using platform::WindowInfo;

struct Row {
    const char* what;
    common::Json extra;
    std::function<void(Acting&)> setup;
    const char* code;
};

// Every row runs after a passing preflight, so the frame is always used up.
void runRows(const char* method, std::initializer_list<Row> rows,
             const std::function<void(Acting&, const Row&)>& check = {}) {
    for (const auto& row : rows) {
        Acting acting;
        EXPECT_EQ(acting.act(method, row.extra, row.setup), row.code) << method << ": " << row.what;
        EXPECT_FALSE(acting.remembered) << row.what;
        EXPECT_EQ(acting.desktop.accessibility.liveElements(), 0) << row.what;
        if (check) check(acting, row);
    }
}

void cover(Acting& a, std::optional<double> alpha, std::optional<std::int64_t> number = 77) {
    auto& list = *a.desktop.windowServer.windows;
    list.insert(list.begin(), WindowInfo{900, number, 3, Rect{90, 110, 50, 50}, "tip", alpha});
}

TEST(Click, CodesInOrder) {
    runRows(
        "click",
        {
            {"inside", {{"x", 10}, {"y", 10}}, {}, "ok"},
            {"the top-left corner", {{"x", 0}, {"y", 0}}, {}, "ok"},
            {"just inside the far edge",
             {{"x", 799.5}, {"y", 10}},
             [](Acting& a) { a.desktop.accessibility.hitAreas[0].area = kBounds; },
             "ok"},
            {"x at the width", {{"x", 800}, {"y", 10}}, {}, "outside_window"},
            {"y at the height", {{"x", 10}, {"y", 600}}, {}, "outside_window"},
            {"negative", {{"x", -0.1}, {"y", 10}}, {}, "outside_window"},
            {"x as a string", {{"x", "10"}, {"y", 10}}, {}, "outside_window"},
            {"y missing", {{"x", 10}}, {}, "outside_window"},
            {"covered, transparent", {{"x", 0}, {"y", 0}}, [](Acting& a) { cover(a, 0.0); }, "ok"},
            {"covered, translucent",
             {{"x", 0}, {"y", 0}},
             [](Acting& a) { cover(a, 0.5); },
             "window_obscured"},
            {"covered, no alpha",
             {{"x", 0}, {"y", 0}},
             [](Acting& a) { cover(a, std::nullopt); },
             "window_obscured"},
            {"a window elsewhere", {{"x", 100}, {"y", 90}}, [](Acting& a) { cover(a, 1.0); }, "ok"},
            {"an entry without bounds",
             {{"x", 0}, {"y", 0}},
             [](Acting& a) {
                 cover(a, 1.0);
                 (*a.desktop.windowServer.windows)[0].bounds.reset();
             },
             "ok"},
            {"the hit has no number",
             {{"x", 0}, {"y", 0}},
             [](Acting& a) { cover(a, 1.0, std::nullopt); },
             "window_obscured"},
            {"the hit's number is out of range",
             {{"x", 0}, {"y", 0}},
             [](Acting& a) { cover(a, 1.0, kWindow + 4294967296LL); },
             "window_obscured"},
            {"no on-screen list",
             {{"x", 0}, {"y", 0}},
             [](Acting& a) {
                 a.desktop.windowServer.missing.insert(platform::WindowListKind::OnScreen);
             },
             "window_obscured"},
            {"nothing accessible there", {{"x", 300}, {"y", 300}}, {}, "target_unavailable"},
            {"the hit test fails",
             {{"x", 10}, {"y", 10}},
             [](Acting& a) { a.desktop.accessibility.hitStatus = AxStatus::Failure; },
             "target_unavailable"},
            {"another process's element",
             {{"x", 10}, {"y", 10}},
             [](Acting& a) { a.button->pid = 600; },
             "unsupported_click"},
            {"an element of no known process",
             {{"x", 10}, {"y", 10}},
             [](Acting& a) { a.button->pid.reset(); },
             "unsupported_click"},
            {"not pressable",
             {{"x", 10}, {"y", 10}},
             [](Acting& a) { a.button->actions.clear(); },
             "unsupported_click"},
        });
}

TEST(Click, PressesTheElementAtTheSinglePrecisionScreenPoint) {
    Acting acting;
    acting.desktop.accessibility.hitAreas[0].area = kBounds;
    ASSERT_EQ(acting.act("click", {{"x", 0.3}, {"y", 599.9}}), "ok");
    EXPECT_THAT(acting.button->performed, ::testing::ElementsAre("AXPress"));
    ASSERT_EQ(acting.desktop.accessibility.hitPoints.size(), 1u);
    EXPECT_EQ(acting.desktop.accessibility.hitPoints[0].first, 100.3f);
    EXPECT_EQ(acting.desktop.accessibility.hitPoints[0].second, 719.9f);
    // The hit test looked at every window of every layer.
    EXPECT_EQ(acting.desktop.windowServer.requests.back(), platform::WindowListKind::OnScreen);
}

TEST(Scroll, CodesInOrder) {
    runRows("scroll",
            {
                {"down", {{"direction", "down"}}, {}, "ok"},
                {"up, with a point that is ignored",
                 {{"direction", "up"}, {"x", -5}, {"y", "no"}},
                 {},
                 "ok"},
                {"Up", {{"direction", "Up"}}, {}, "unsupported_scroll"},
                {"no direction", {}, {}, "unsupported_scroll"},
                {"focused element unreadable",
                 {{"direction", "down"}},
                 [](Acting& a) {
                     a.application->attributes["AXFocusedUIElement"].status = AxStatus::Failure;
                 },
                 "unsupported_scroll"},
                {"focused element not an element",
                 {{"direction", "down"}},
                 [](Acting& a) { a.application->set("AXFocusedUIElement", platform::Point{}); },
                 "unsupported_scroll"},
                {"its window read with an error status but right",
                 {{"direction", "down"}},
                 [](Acting& a) { a.field->attributes["AXWindow"].status = AxStatus::Failure; },
                 "ok"},
                {"no window",
                 {{"direction", "down"}},
                 [](Acting& a) { a.field->attributes.erase("AXWindow"); },
                 "unsupported_scroll"},
                {"another window",
                 {{"direction", "down"}},
                 [](Acting& a) { a.field->set("AXWindow", FakeNode::make(kPid)); },
                 "unsupported_scroll"},
                {"cannot scroll",
                 {{"direction", "down"}},
                 [](Acting& a) { a.field->actions["AXScrollDownByPage"] = AxStatus::Failure; },
                 "unsupported_scroll"},
            },
            [](Acting& a, const Row& row) {
                if (std::string(row.code) != "ok") return;
                EXPECT_THAT(a.field->performed,
                            ::testing::ElementsAre(row.extra["direction"] == "down"
                                                       ? "AXScrollDownByPage"
                                                       : "AXScrollUpByPage"));
                EXPECT_TRUE(a.focusedWindow->performed.empty());
            });
}

std::string accents(int n) {
    std::string text;
    for (int i = 0; i < n; ++i)
        text += "a\xCC\x80\xCC\x81"; // a letter with two marks
    return text;
}

TEST(TypeText, CodesInOrder) {
    auto role = [](const char* r) {
        return [r](Acting& a) { a.field->set("AXRole", std::string(r)); };
    };
    runRows("type_text",
            {
                {"a text field", {{"text", "milk"}}, {}, "ok"},
                {"a text area", {{"text", "milk"}}, role("AXTextArea"), "ok"},
                {"empty text", {{"text", ""}}, {}, "ok"},
                {"2000 characters", {{"text", accents(2000)}}, {}, "ok"},
                {"2001 characters", {{"text", accents(2001)}}, {}, "invalid_text"},
                {"text as a number", {{"text", 5}}, {}, "invalid_text"},
                {"no text", {}, {}, "invalid_text"},
                {"no focused element",
                 {{"text", "x"}},
                 [](Acting& a) { a.application->attributes.erase("AXFocusedUIElement"); },
                 "no_focused_field"},
                {"focused element unreadable",
                 {{"text", "x"}},
                 [](Acting& a) {
                     a.application->attributes["AXFocusedUIElement"].status = AxStatus::Failure;
                 },
                 "no_focused_field"},
                {"a button", {{"text", "x"}}, role("AXButton"), "unsupported_text_field"},
                {"no role",
                 {{"text", "x"}},
                 [](Acting& a) { a.field->attributes.erase("AXRole"); },
                 "unsupported_text_field"},
                {"a password field",
                 {{"text", "x"}},
                 [](Acting& a) { a.field->set("AXSubrole", std::string("AXSecureTextField")); },
                 "unsupported_text_field"},
                {"a search field",
                 {{"text", "x"}},
                 [](Acting& a) { a.field->set("AXSubrole", std::string("AXSearchField")); },
                 "ok"},
                {"another window",
                 {{"text", "x"}},
                 [](Acting& a) { a.field->set("AXWindow", FakeNode::make(kPid)); },
                 "unsupported_text_field"},
                {"no window",
                 {{"text", "x"}},
                 [](Acting& a) { a.field->attributes.erase("AXWindow"); },
                 "unsupported_text_field"},
                {"refuses the value",
                 {{"text", "x"}},
                 [](Acting& a) { a.field->writeStatus["AXValue"] = AxStatus::Failure; },
                 "unsupported_text_field"},
                {"every attribute is read before any is judged",
                 {{"text", "x"}},
                 [](Acting& a) {
                     a.field->set("AXRole", std::string("AXButton"));
                     a.desktop.accessibility.throwOnAttribute = "AXWindow";
                 },
                 "engine_failed"},
            },
            [](Acting& a, const Row& row) {
                const bool written = std::string(row.code) == "ok";
                EXPECT_EQ(a.field->string("AXValue"),
                          written ? std::optional(row.extra["text"].get<std::string>())
                                  : std::nullopt)
                    << row.what;
            });
}

TEST(PressKey, PostsTabDownThenUpToTheProcessOnly) {
    runRows("press_key",
            {
                {"Tab", {{"key", "Tab"}}, {}, "ok"},
                {"tab", {{"key", "tab"}}, {}, "unsupported_key"},
                {"the bare name", {{"key", "key"}}, {}, "unsupported_key"},
                {"no key", {}, {}, "unsupported_key"},
                {"no key-down event",
                 {{"key", "Tab"}},
                 [](Acting& a) { a.desktop.events.failKeyDown = true; },
                 "input_unavailable"},
                {"no key-up event",
                 {{"key", "Tab"}},
                 [](Acting& a) { a.desktop.events.failKeyUp = true; },
                 "input_unavailable"},
                {"key-down not taken",
                 {{"key", "Tab"}},
                 [](Acting& a) { a.desktop.events.refuseKeyDown = true; },
                 "input_unavailable"},
                {"key-up not taken",
                 {{"key", "Tab"}},
                 [](Acting& a) { a.desktop.events.refuseKeyUp = true; },
                 "input_unavailable"},
            },
            [](Acting& a, const Row& row) {
                EXPECT_EQ(a.desktop.events.liveEvents(), 0);
                if (std::string(row.code) == "ok") {
                    EXPECT_THAT(a.desktop.events.posted,
                                ::testing::ElementsAre(PostedKey{kPid, 48, true},
                                                       PostedKey{kPid, 48, false}));
                } else if (std::string(row.what) == "key-up not taken") {
                    // The key went down and was not released: no "completed" for it.
                    EXPECT_THAT(a.desktop.events.posted,
                                ::testing::ElementsAre(PostedKey{kPid, 48, true}));
                } else {
                    EXPECT_TRUE(a.desktop.events.posted.empty()) << row.what;
                }
            });
}

TEST(InputMethods, AFailingPlatformServiceAnswersEngineFailed) {
    Acting acting;
    EXPECT_EQ(acting.act("click", {{"x", 1}, {"y", 1}},
                         [](Acting& a) { a.desktop.accessibility.throwOnAttribute = "AXSize"; }),
              "engine_failed");
    EXPECT_EQ(acting.desktop.accessibility.liveElements(), 0);
    acting.desktop.windowServer.throwing = true;
    EXPECT_EQ(acting.codeFor("windows", {{"app", acting.app}}), "engine_failed");
}

} // namespace
} // namespace host::testing
