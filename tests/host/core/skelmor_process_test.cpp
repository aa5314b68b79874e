// The skelmor program as a process, bytes in and bytes out, without a display: the
// session-less desktop, so every answer is deterministic.

#include "tests/host/core/process.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/wait.h>
#include <thread>

namespace host {
namespace {

using testing::Process;

const std::string statusSnapshot =
    R"({"accessibility":false,"available":true,"identity":"unbundled","locked":false,)"
    R"("name":"Tarnwick Computer Use","onConsole":false,"screen":false,"sleeping":false,)"
    R"("version":"1"})";

std::vector<std::string> bareEnvironment() {
    std::vector<std::string> env{"PATH=/usr/bin:/bin", "HOME=/tmp"};
    for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"})
        if (const char* value = std::getenv(name)) env.push_back(std::string(name) + "=" + value);
    return env;
}

class SkelmorTest : public ::testing::Test {
protected:
    Process host{{SKELMOR_PATH}, bareEnvironment()};

    // Ends input after every answer has arrived; the program must then exit normally,
    // having written nothing more, nothing at all on standard error.
    void finish() {
        host.closeInput();
        EXPECT_EQ(host.readRest(), "");
        const int status = host.wait();
        EXPECT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
        EXPECT_EQ(host.standardError(), "");
    }
    static std::string request(const std::string& id, const std::string& method,
                               const std::string& extra = "") {
        return R"({"id":")" + id + R"(","method":")" + method + "\"" + extra + "}\n";
    }
};

TEST_F(SkelmorTest, StatusWithoutADisplayIsTheSessionLessSnapshot) {
    host.write(R"({"id":"1","method":"status"})"
               "\n");
    EXPECT_EQ(host.readLine(), R"({"id":"1","result":)" + statusSnapshot + "}\n");
    finish();
}

TEST_F(SkelmorTest, ScreenMethodsAreRefusedWithoutADisplay) {
    // The gate runs before anything else the method needs.
    for (const char* method : {"windows", "observe", "click", "type_text", "scroll", "press_key"}) {
        host.write(request(
            method, method,
            R"(,"params":{"app":{},"target":{"windowId":1,"pid":1},"frameId":"x","text":"t"})"));
        EXPECT_EQ(host.readLine(),
                  R"({"error":"mac_locked","id":")" + std::string(method) + "\"}\n");
    }
    finish();
}

TEST_F(SkelmorTest, InvalidLinesGetNoAnswerAndTheNextLineIsAnswered) {
    const std::string invalid[] = {
        "\n",
        "   \n",
        "[1,2]\n",
        "\"status\"\n",
        "42\n",
        R"({"id":1,"method":"status"})"
        "\n",
        R"({"id":"x"})"
        "\n",
        R"({"id":"x","method":7})"
        "\n",
        R"({"id":"x","method":"status"} {})"
        "\n",
        "{\"id\":\"x\",\"method\":\"status\"\n",
        "\xEF\xBB\xBF{\"id\":\"x\",\"method\":\"status\"}\n",
        std::string(60'000, '[') + "\n",
        R"({"id":"x","method":"clear","params":{"n":)" + std::string(30'000, '[') + "\n",
    };
    int n = 0;
    for (const auto& line : invalid) {
        const std::string id = "after" + std::to_string(n++);
        host.write(line + request(id, "clear"));
        EXPECT_EQ(host.readLine(), R"({"id":")" + id +
                                       R"(","result":{"cleared":true}})"
                                       "\n")
            << line.substr(0, 60);
    }
    finish();
}

TEST_F(SkelmorTest, CrLfParamsOfEveryTypeAndSortedKeys) {
    host.write("{\"method\":\"status\",\"id\":\"crlf\"}\r\n");
    EXPECT_EQ(host.readLine(), R"({"id":"crlf","result":)" + statusSnapshot + "}\n");
    for (const char* params : {"null", "[]", "[\"screen\"]", "\"screen\"", "1", "true", "{}"}) {
        host.write(request("p", "permission", std::string(",\"params\":") + params));
        EXPECT_EQ(host.readLine(), "{\"error\":\"invalid_permission\",\"id\":\"p\"}\n") << params;
    }
    host.write(R"({"params":{"kind":"accessibility"},"method":"permission","id":"ok"})"
               "\n");
    EXPECT_EQ(host.readLine(), R"({"id":"ok","result":)" + statusSnapshot + "}\n");
    host.write(request("u", "Status"));
    EXPECT_EQ(host.readLine(), "{\"error\":\"unknown_method\",\"id\":\"u\"}\n");
    host.write("{\"id\":\"\\u00e9\\n\\/\",\"method\":\"clear\"}\n");
    EXPECT_EQ(host.readLine(), "{\"id\":\"\xc3\xa9\\n/\",\"result\":{\"cleared\":true}}\n");
    finish();
}

TEST_F(SkelmorTest, ALineOfExactlyTheLimitIsServed) {
    // 65,535 bytes and the line feed: the whole pending input is 65,536 bytes.
    std::string head = R"({"id":"big","method":"clear","params":{"pad":")";
    std::string line = head + std::string(65'535 - head.size() - 3, 'p') + "\"}}\n";
    ASSERT_EQ(line.size(), 65'536u);
    host.write(line);
    EXPECT_EQ(host.readLine(), R"({"id":"big","result":{"cleared":true}})"
                               "\n");
    host.write(request("next", "clear"));
    EXPECT_EQ(host.readLine(), R"({"id":"next","result":{"cleared":true}})"
                               "\n");
    finish();
}

TEST_F(SkelmorTest, TooMuchPendingInputExitsWithStatusTwoAndNothingMore) {
    host.write(request("first", "clear"));
    EXPECT_EQ(host.readLine(), R"({"id":"first","result":{"cleared":true}})"
                               "\n");
    std::string head = R"({"id":"huge","method":"clear","params":{"pad":")";
    host.write(head + std::string(65'537, 'p') + "\"}}\n" + request("later", "clear"));
    EXPECT_EQ(host.readRest(), "");
    const int status = host.wait();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 2);
    EXPECT_EQ(host.standardError(), "");
}

TEST_F(SkelmorTest, EndOfInputDropsATrailingPartialLine) {
    host.write(request("whole", "clear") + R"({"id":"partial","method":"clear"})");
    EXPECT_EQ(host.readLine(), R"({"id":"whole","result":{"cleared":true}})"
                               "\n");
    finish();
}

TEST(SkelmorInputTest, ANonBlockingStandardInputIsWaitedOn) {
    // A launcher that hands over standard input with O_NONBLOCK: nothing to read yet is
    // not the end of input.
    Process host({SKELMOR_PATH}, bareEnvironment(), testing::InputMode::NonBlocking);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_TRUE(host.write(R"({"id":"late","method":"clear"})"
                           "\n"));
    EXPECT_EQ(host.readLine(), R"({"id":"late","result":{"cleared":true}})"
                               "\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_TRUE(host.write(R"({"id":"later","method":"clear"})"
                           "\n"));
    EXPECT_EQ(host.readLine(), R"({"id":"later","result":{"cleared":true}})"
                               "\n");
    host.closeInput();
    EXPECT_EQ(host.readRest(), "");
    const int status = host.wait();
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(SkelmorTest, ABurstIsAnsweredInOrderOneLineEach) {
    constexpr int count = 5000;
    std::string burst;
    std::vector<std::string> expected;
    for (int i = 0; i < count; ++i) {
        const std::string id = std::to_string(i);
        const char* method = i % 3 == 0 ? "status" : i % 3 == 1 ? "clear" : "nope";
        burst += request(id, method);
        expected.push_back(i % 3 == 0
                               ? R"({"id":")" + id + R"(","result":)" + statusSnapshot + "}\n"
                           : i % 3 == 1 ? R"({"id":")" + id +
                                              R"(","result":{"cleared":true}})"
                                              "\n"
                                        : R"({"error":"unknown_method","id":")" + id + "\"}\n");
    }
    // Written from another thread: the answers fill the output pipe meanwhile.
    std::thread writer([&] { host.write(burst); });
    for (int i = 0; i < count; ++i) {
        const auto line = host.readLine();
        ASSERT_TRUE(line) << i;
        ASSERT_EQ(*line, expected[i]);
    }
    writer.join();
    finish();
}

} // namespace
} // namespace host
