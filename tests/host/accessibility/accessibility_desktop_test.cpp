// The AT-SPI adapter against the GTK test application on a virtual desktop
// (tools/desktop/run.sh brings the desktop up; without it the tests are skipped).

#include "host/platform/linux/accessibility/atspi_accessibility.h"
#include "host/platform/linux/accessibility/atspi_element.h"
#include "test_application.h"
#include "x_stacking.h"

#include <gtest/gtest.h>

#include <thread>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace host::test {
namespace {

using platform::AttributeResult;
using platform::AxStatus;
using platform::ElementRef;
using platform::linux_atspi::AtspiAccessibility;
using platform::linux_atspi::AtspiElement;
using namespace std::chrono_literals;

ElementRef elementOf(AttributeResult result) {
    if (result.status != AxStatus::Success || !result.value) return nullptr;
    auto* element = std::get_if<ElementRef>(&*result.value);
    return element ? std::move(*element) : nullptr;
}

std::optional<std::string> stringOf(const AttributeResult& result) {
    if (result.status != AxStatus::Success || !result.value) return std::nullopt;
    const auto* text = std::get_if<std::string>(&*result.value);
    return text ? std::optional<std::string>(*text) : std::nullopt;
}

class AccessibilityOnDesktop : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("TARNWICK_DESKTOP")) GTEST_SKIP() << "runs under tools/desktop/run.sh";
        ASSERT_TRUE(stacking_.connected());
        app_ = std::make_unique<TestApplication>(TARNWICK_TESTAPP);
        ASSERT_TRUE(app_->started());
        ASSERT_TRUE(app_->waitFor("ready"));
        // The application registers with the accessibility registry and its window becomes
        // active shortly after it is mapped.
        ASSERT_TRUE(eventually([&] {
            application_ = port_.createApplication(app_->pid());
            window_ = elementOf(port_.copyAttribute(*application_, "AXFocusedWindow"));
            return window_ != nullptr;
        }));
        port_.setMessagingTimeout(*application_, 2.0f);
    }

    // Moves keyboard focus in the application and waits until the adapter reports an
    // element of the given role as focused; the application's accessibility events follow
    // its own focus change by a few milliseconds. (The entry has focus from the start, so
    // the application reports no change for it.)
    ElementRef focus(const std::string& widget, const std::string& role) {
        app_->send("focus " + widget);
        ElementRef focused;
        const bool found = eventually([&] {
            focused = elementOf(port_.copyAttribute(*application_, "AXFocusedUIElement"));
            return focused && stringOf(port_.copyAttribute(*focused, "AXRole")) == role &&
                   (widget != "entry" ||
                    port_.copyAttribute(*focused, "AXSubrole").status != AxStatus::Success);
        });
        EXPECT_TRUE(found) << widget;
        return focused;
    }

    platform::Rect boundsOf(platform::Element& element) {
        const auto position = port_.copyAttribute(element, "AXPosition");
        const auto size = port_.copyAttribute(element, "AXSize");
        EXPECT_EQ(position.status, AxStatus::Success);
        EXPECT_EQ(size.status, AxStatus::Success);
        if (!position.value || !size.value) return {};
        const auto* p = std::get_if<platform::Point>(&*position.value);
        const auto* s = std::get_if<platform::Size>(&*size.value);
        if (!p || !s) return {};
        return {p->x, p->y, s->width, s->height};
    }

    std::optional<platform::Rect> frameOfApplication() {
        const auto list = stacking_.windowList(platform::WindowListKind::OnScreen);
        if (!list) return std::nullopt;
        for (const auto& window : *list)
            if (window.ownerPid == app_->pid()) return window.bounds;
        return std::nullopt;
    }

    // The view's scroll position as the application reports it.
    long scrollPosition() {
        app_->send("report");
        const auto values = app_->waitFor("values ");
        EXPECT_TRUE(values);
        const auto at = values ? values->rfind("scroll=") : std::string::npos;
        return at == std::string::npos ? -1 : std::stol(values->substr(at + 7));
    }

    XStacking stacking_;
    AtspiAccessibility port_{stacking_};
    std::unique_ptr<TestApplication> app_;
    ElementRef application_;
    ElementRef window_;
};

TEST_F(AccessibilityOnDesktop, FocusedWindowLiesWhereTheWindowManagerFramesIt) {
    const auto frame = frameOfApplication();
    ASSERT_TRUE(frame);
    EXPECT_EQ(boundsOf(*window_), *frame);
    EXPECT_EQ(stringOf(port_.copyAttribute(*window_, "AXRole")), "AXWindow");
    EXPECT_EQ(stringOf(port_.copyAttribute(*window_, "AXTitle")), "Test App");
    EXPECT_EQ(port_.pid(*window_), app_->pid());
    EXPECT_EQ(port_.pid(*application_), app_->pid());
}

TEST_F(AccessibilityOnDesktop, PressesTheButtonFoundAtItsCentre) {
    const auto button = focus("button", "AXButton");
    ASSERT_TRUE(button);
    const auto bounds = boundsOf(*button);
    const auto systemWide = port_.createSystemWide();
    auto hit = port_.elementAtPosition(*systemWide, static_cast<float>(bounds.x + bounds.width / 2),
                                       static_cast<float>(bounds.y + bounds.height / 2));
    ASSERT_EQ(hit.status, AxStatus::Success);
    ASSERT_TRUE(hit.element);
    EXPECT_TRUE(port_.equal(*hit.element, *button));
    EXPECT_EQ(port_.pid(*hit.element), app_->pid());
    EXPECT_EQ(port_.performAction(*hit.element, "AXPress"), AxStatus::Success);
    EXPECT_TRUE(app_->waitFor("pressed"));
}

TEST_F(AccessibilityOnDesktop, PointsOutsideAnyWindowOrOnTheTitleBarHaveNoPressableElement) {
    const auto frame = frameOfApplication();
    ASSERT_TRUE(frame);
    const auto systemWide = port_.createSystemWide();
    // The root window has no owner.
    EXPECT_NE(port_.elementAtPosition(*systemWide, 1279.0f, 1023.0f).status, AxStatus::Success);
    // The title bar belongs to the window itself, which has no press action.
    auto bar = port_.elementAtPosition(*systemWide, static_cast<float>(frame->x + 40),
                                       static_cast<float>(frame->y + 3));
    ASSERT_EQ(bar.status, AxStatus::Success);
    EXPECT_TRUE(port_.equal(*bar.element, *window_));
    EXPECT_NE(port_.performAction(*bar.element, "AXPress"), AxStatus::Success);
    EXPECT_NE(port_.performAction(*bar.element, "AXNoSuchAction"), AxStatus::Success);
}

TEST_F(AccessibilityOnDesktop, FocusedEntryIsATextFieldOfTheFocusedWindowAndTakesAValue) {
    const auto entry = focus("entry", "AXTextField");
    ASSERT_TRUE(entry);
    EXPECT_NE(port_.copyAttribute(*entry, "AXSubrole").status, AxStatus::Success); // no subrole
    const auto window = elementOf(port_.copyAttribute(*entry, "AXWindow"));
    ASSERT_TRUE(window);
    EXPECT_TRUE(port_.equal(*window, *window_));

    // The system-wide element knows focus from the focus events alone.
    app_->send("focus password");
    const auto systemWide = port_.createSystemWide();
    EXPECT_TRUE(eventually([&] {
        const auto focused = elementOf(port_.copyAttribute(*systemWide, "AXFocusedUIElement"));
        return focused && !port_.equal(*focused, *entry) &&
               stringOf(port_.copyAttribute(*focused, "AXSubrole")) == "AXSecureTextField";
    }));
    app_->send("focus entry");
    EXPECT_TRUE(eventually([&] {
        const auto focused = elementOf(port_.copyAttribute(*systemWide, "AXFocusedUIElement"));
        return focused && port_.equal(*focused, *entry);
    }));

    EXPECT_EQ(port_.setStringAttribute(*entry, "AXValue", "héllo wörld"), AxStatus::Success);
    EXPECT_TRUE(app_->waitFor("entry héllo wörld"));
    EXPECT_EQ(stringOf(port_.copyAttribute(*entry, "AXValue")), "héllo wörld");
    EXPECT_EQ(port_.setStringAttribute(*entry, "AXValue", ""), AxStatus::Success);
    EXPECT_TRUE(app_->waitFor("entry "));
    EXPECT_NE(port_.setStringAttribute(*entry, "AXTitle", "x"), AxStatus::Success);
}

TEST_F(AccessibilityOnDesktop, FocusIsCurrentEvenWhenTheMainLoopHasNotRun) {
    const auto entry = focus("entry", "AXTextField");
    ASSERT_TRUE(entry);
    // A host busy with requests runs no idle work: the focus events may still be queued.
    app_->send("focus password");
    ASSERT_TRUE(app_->waitFor("focus password", std::chrono::seconds(5), false));
    ::usleep(100000); // the application's own accessibility update follows its focus change
    const auto focused = elementOf(port_.copyAttribute(*application_, "AXFocusedUIElement"));
    ASSERT_TRUE(focused);
    EXPECT_EQ(stringOf(port_.copyAttribute(*focused, "AXSubrole")), "AXSecureTextField");
}

TEST_F(AccessibilityOnDesktop, PasswordEntryIsASecureTextField) {
    const auto password = focus("password", "AXTextField");
    ASSERT_TRUE(password);
    EXPECT_EQ(stringOf(port_.copyAttribute(*password, "AXSubrole")), "AXSecureTextField");
}

TEST_F(AccessibilityOnDesktop, ScrollsTheTextViewByPagesClampedAtBothEnds) {
    const auto view = focus("view", "AXTextArea");
    ASSERT_TRUE(view);
    const auto pane = elementOf(port_.copyAttribute(*view, "AXParent"));
    ASSERT_TRUE(pane);
    EXPECT_EQ(stringOf(port_.copyAttribute(*pane, "AXRole")), "AXScrollArea");
    const double page = boundsOf(*pane).height;
    ASSERT_GT(page, 0);
    ASSERT_EQ(scrollPosition(), 0);

    ASSERT_EQ(port_.performAction(*view, "AXScrollDownByPage"), AxStatus::Success);
    ASSERT_TRUE(app_->waitFor("scroll "));
    EXPECT_EQ(scrollPosition(), static_cast<long>(page));

    // 400 lines are far more than a few pages, and fewer than 200 pages.
    long last = -1;
    int pages = 1;
    for (long now = scrollPosition(); now != last && pages < 200; ++pages) {
        last = now;
        ASSERT_EQ(port_.performAction(*view, "AXScrollDownByPage"), AxStatus::Success);
        now = scrollPosition();
    }
    EXPECT_GT(pages, 3);
    EXPECT_LT(pages, 200);
    const long end = last;
    EXPECT_EQ(port_.performAction(*view, "AXScrollDownByPage"),
              AxStatus::Success); // at the end: stays
    EXPECT_EQ(scrollPosition(), end);

    EXPECT_EQ(port_.performAction(*view, "AXScrollUpByPage"), AxStatus::Success);
    EXPECT_EQ(scrollPosition(), end - static_cast<long>(page));

    // An element outside any scroll pane cannot scroll.
    const auto entry = focus("entry", "AXTextField");
    ASSERT_TRUE(entry);
    EXPECT_NE(port_.performAction(*entry, "AXScrollDownByPage"), AxStatus::Success);
}

TEST_F(AccessibilityOnDesktop, EqualityFollowsTheUserInterfaceObject) {
    const auto again = elementOf(port_.copyAttribute(*application_, "AXFocusedWindow"));
    ASSERT_TRUE(again);
    EXPECT_TRUE(port_.equal(*again, *window_));
    EXPECT_FALSE(port_.equal(*application_, *window_));
    const auto entry = focus("entry", "AXTextField");
    const auto password = focus("password", "AXTextField");
    ASSERT_TRUE(entry && password);
    EXPECT_FALSE(port_.equal(*entry, *password));
    const auto sameApplication = port_.createApplication(app_->pid());
    EXPECT_TRUE(port_.equal(*sameApplication, *application_));
    const auto a = port_.createSystemWide();
    const auto b = port_.createSystemWide();
    EXPECT_TRUE(port_.equal(*a, *b));
    EXPECT_FALSE(port_.equal(*a, *application_));
}

TEST_F(AccessibilityOnDesktop, ElementsHoldNoReferenceOnceReleased) {
    auto* frame = static_cast<AtspiElement&>(*window_).accessible();
    const auto before = G_OBJECT(frame)->ref_count;
    for (int i = 0; i < 20; ++i) {
        const auto window = elementOf(port_.copyAttribute(*application_, "AXFocusedWindow"));
        ASSERT_TRUE(window);
        EXPECT_GT(G_OBJECT(frame)->ref_count, before);
        const auto focused = elementOf(port_.copyAttribute(*application_, "AXFocusedUIElement"));
        if (focused) (void)port_.copyAttribute(*focused, "AXWindow");
    }
    EXPECT_EQ(G_OBJECT(frame)->ref_count, before);
}

TEST_F(AccessibilityOnDesktop, ApplicationWithoutAccessibilityHasNoWindow) {
    const auto nobody = port_.createApplication(999999);
    EXPECT_NE(port_.copyAttribute(*nobody, "AXFocusedWindow").status, AxStatus::Success);
    EXPECT_NE(port_.copyAttribute(*application_, "AXNoSuchAttribute").status, AxStatus::Success);
}

TEST_F(AccessibilityOnDesktop, StoppedApplicationAnswersEveryCallWithAFailureInTime) {
    const auto entry = focus("entry", "AXTextField");
    const auto button = focus("button", "AXButton");
    ASSERT_TRUE(entry && button);
    const auto bounds = boundsOf(*button);
    const auto systemWide = port_.createSystemWide();
    ASSERT_EQ(::kill(app_->pid(), SIGSTOP), 0);

    using Clock = std::chrono::steady_clock;
    const auto timed = [](auto&& call) {
        const auto start = Clock::now();
        const auto status = call();
        const auto spent = std::chrono::duration<double>(Clock::now() - start).count();
        std::printf("  %.3f s\n", spent);
        EXPECT_LT(spent, 2.5);
        return status;
    };
    // The application element carries 2 s; the others have the adapter's default.
    EXPECT_NE(timed([&] { return port_.copyAttribute(*window_, "AXPosition").status; }),
              AxStatus::Success);
    EXPECT_NE(timed([&] { return port_.performAction(*button, "AXPress"); }), AxStatus::Success);
    EXPECT_NE(timed([&] { return port_.setStringAttribute(*entry, "AXValue", "x"); }),
              AxStatus::Success);
    EXPECT_NE(timed([&] {
                  return port_
                      .elementAtPosition(*systemWide, static_cast<float>(bounds.x + 2),
                                         static_cast<float>(bounds.y + 2))
                      .status;
              }),
              AxStatus::Success);
    EXPECT_NE(timed([&] { return port_.performAction(*entry, "AXScrollDownByPage"); }),
              AxStatus::Success);
    port_.setMessagingTimeout(*entry, 0.5f);
    const auto start = Clock::now();
    EXPECT_NE(port_.copyAttribute(*entry, "AXPosition").status, AxStatus::Success);
    EXPECT_LT(std::chrono::duration<double>(Clock::now() - start).count(), 1.0);
}

// An application that answers within its element's timeout is operated: a stall of 1.4 s
// under a 2 s timeout is no failure.
TEST_F(AccessibilityOnDesktop, AnApplicationThatAnswersWithinTheTimeoutIsOperated) {
    port_.setMessagingTimeout(*application_, 2.0f);
    ASSERT_EQ(port_.copyAttribute(*application_, "AXFocusedWindow").status, AxStatus::Success);
    ASSERT_EQ(::kill(app_->pid(), SIGSTOP), 0);
    std::thread resume([pid = app_->pid()] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1400));
        ::kill(pid, SIGCONT);
    });
    const auto window = port_.copyAttribute(*application_, "AXFocusedWindow");
    resume.join();
    EXPECT_EQ(window.status, AxStatus::Success);
}

} // namespace
} // namespace host::test
