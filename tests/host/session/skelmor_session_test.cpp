// skelmor on a private virtual session: the snapshot follows the screen saver's lock and the
// display's sleep, and the gate refuses while either holds.

#include "common/json.h"
#include "tests/host/session/virtual_session.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <sys/wait.h>
#include <thread>

namespace host {
namespace {

using common::Json;

class SkelmorSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!testing::VirtualSession::available())
            GTEST_SKIP() << "Xvfb or dbus-daemon is not installed";
        desktop = testing::VirtualSession::start();
        ASSERT_TRUE(desktop) << "the virtual session did not start";
        auto env = desktop->environment();
        for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"})
            if (const char* value = std::getenv(name))
                env.push_back(std::string(name) + "=" + value);
        host = std::make_unique<testing::Process>(std::vector<std::string>{SKELMOR_PATH}, env);
    }
    void TearDown() override {
        if (!host) return;
        host->closeInput();
        EXPECT_EQ(host->readRest(), "");
        const int status = host->wait();
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        EXPECT_EQ(host->standardError(), "");
    }

    Json ask(const std::string& method) {
        host->write(R"({"id":"q","method":")" + method + "\"}\n");
        const auto line = host->readLine();
        if (!line) return nullptr;
        return Json::parse(*line);
    }
    // Asks for the status until `key` has `value`; the last status seen.
    Json statusUntil(const char* key, bool value) {
        Json answer;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        do {
            answer = ask("status");
            if (answer.is_object() && answer["result"][key] == value) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        } while (std::chrono::steady_clock::now() < deadline);
        return answer;
    }

    std::unique_ptr<testing::VirtualSession> desktop;
    std::unique_ptr<testing::Process> host;
};

TEST_F(SkelmorSessionTest, StatusFollowsLockAndSleep) {
    const Json initial = ask("status");
    ASSERT_TRUE(initial.is_object());
    EXPECT_EQ(initial["result"]["onConsole"], true);
    EXPECT_EQ(initial["result"]["screen"], true);
    EXPECT_EQ(initial["result"]["accessibility"], true);
    EXPECT_EQ(initial["result"]["locked"], false);
    EXPECT_EQ(initial["result"]["sleeping"], false);

    ASSERT_TRUE(desktop->setScreenSaverActive(true));
    EXPECT_EQ(statusUntil("locked", true)["result"]["locked"], true);
    EXPECT_EQ(ask("windows"), Json::parse(R"({"error":"mac_locked","id":"q"})"));
    ASSERT_TRUE(desktop->setScreenSaverActive(false));
    EXPECT_EQ(statusUntil("locked", false)["result"]["locked"], false);

    ASSERT_TRUE(desktop->xset("activate"));
    EXPECT_EQ(statusUntil("sleeping", true)["result"]["sleeping"], true);
    EXPECT_EQ(ask("windows"), Json::parse(R"({"error":"mac_locked","id":"q"})"));
    ASSERT_TRUE(desktop->xset("reset"));
    EXPECT_EQ(statusUntil("sleeping", false)["result"]["sleeping"], false);
}

TEST_F(SkelmorSessionTest, TheAccessibilityPermissionRequestEnablesAccessibility) {
    host->write(R"({"id":"p","method":"permission","params":{"kind":"accessibility"}})"
                "\n");
    const auto line = host->readLine();
    ASSERT_TRUE(line);
    EXPECT_EQ(Json::parse(*line)["result"]["accessibility"], true);
    EXPECT_EQ(desktop->accessibilityEnabled(), true);
}

} // namespace
} // namespace host
