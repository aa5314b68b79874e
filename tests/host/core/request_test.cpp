// Reading request lines and writing answer lines.

#include "host/channel/answer.h"
#include "host/channel/request.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace host {
namespace {

using common::Json;

TEST(ReadRequestTest, ValidLinesYieldIdMethodAndParams) {
    const struct {
        const char* line;
        const char* id;
        const char* method;
        const char* params;
    } cases[] = {
        {R"({"id":"1","method":"status"})", "1", "status", "{}"},
        {R"({"id":"","method":""})", "", "", "{}"},
        {"{\"id\":\"1\",\"method\":\"status\"}\r", "1", "status", "{}"},
        {" \t{\"method\":\"m\",\"id\":\"x\"}\r\n\r ", "x", "m", "{}"},
        {R"({"id":"a","method":"m","params":null})", "a", "m", "{}"},
        {R"({"id":"a","method":"m","params":[1,2]})", "a", "m", "{}"},
        {R"({"id":"a","method":"m","params":"p"})", "a", "m", "{}"},
        {R"({"id":"a","method":"m","params":3})", "a", "m", "{}"},
        {R"({"id":"a","method":"m","params":false})", "a", "m", "{}"},
        {R"({"id":"a","method":"m","params":{"k":[1,{"z":null}]},"extra":1})", "a", "m",
         R"({"k":[1,{"z":null}]})"},
        {R"({"id":"\u00e9\ud83d\ude00\n","method":"m"})", "\u00e9\U0001F600\n", "m", "{}"},
        // U+FEFF inside a string is just a character.
        {"{\"id\":\"\xEF\xBB\xBF\",\"method\":\"m\"}", "\xEF\xBB\xBF", "m", "{}"},
    };
    for (const auto& c : cases) {
        const auto request = readRequest(c.line);
        ASSERT_TRUE(request) << c.line;
        EXPECT_EQ(request->id, c.id);
        EXPECT_EQ(request->method, c.method);
        EXPECT_EQ(common::compact(request->params), c.params);
    }
}

TEST(ReadRequestTest, InvalidLinesYieldNothing) {
    std::string deep(60'000, '[');
    std::string deepInParams = R"({"id":"1","method":"m","params":{"p":)" + deep;
    std::string deepClosed = R"({"id":"1","method":"m","params":)" + std::string(60'000, '[') +
                             std::string(60'000, ']') + "}";
    const std::string cases[] = {
        "",
        "   ",
        "\r",
        "[]",
        R"(["id","method"])",
        R"("status")",
        "1",
        "null",
        R"({"id":1,"method":"status"})",
        R"({"method":"status"})",
        R"({"id":"1"})",
        R"({"id":"1","method":5})",
        R"({"id":null,"method":"status"})",
        R"({"id":"1","method":"status"} x)",
        R"({"id":"1","method":"status"}{})",
        R"({"id":"1","method":"status"},)",
        R"({"id":"1","method":"status")",
        R"({'id':'1','method':'status'})",
        "{\"id\":\"1\",\"method\":\"status\"}\f",
        std::string(R"({"id":"1","method":"status"})") + std::string(1, '\0') + "x",
        std::string(R"({"id":"1","method":"status"})") + std::string(1, '\0'),
        "{\"id\":\"\xff\",\"method\":\"status\"}",
        "{\"id\":\"\xc3\",\"method\":\"status\"}",
        R"({"id":"1","method":"status",})",
        R"(/*c*/{"id":"1","method":"status"})",
        // A byte order mark is not whitespace, wherever it stands around the text.
        "\xEF\xBB\xBF{\"id\":\"1\",\"method\":\"status\"}",
        "\xEF\xBB\xBF {\"id\":\"1\",\"method\":\"status\"}",
        " \xEF\xBB\xBF{\"id\":\"1\",\"method\":\"status\"}",
        "{\"id\":\"1\",\"method\":\"status\"}\xEF\xBB\xBF",
        "\xEF\xBB\xBF",
        deep,
        deepInParams,
    };
    for (const auto& line : cases)
        EXPECT_FALSE(readRequest(line)) << line.substr(0, 80);
    // Valid, and nested deeper than a recursive reader could take: params must be an object.
    const auto nested = readRequest(deepClosed);
    ASSERT_TRUE(nested);
    EXPECT_EQ(nested->params, Json::object());
}

TEST(ReadRequestTest, HugeNumbersAreReadWithoutHarm) {
    const std::string digits(60'000, '9');
    const std::vector<std::string> numbers{digits, "1e999999999", "-1e999999999", "0." + digits};
    for (const auto& number : numbers) {
        const auto request =
            readRequest(R"({"id":"1","method":"m","params":{"n":)" + number + "}}");
        // Read as a number or refused, never a crash or a stall.
        if (request) {
            EXPECT_TRUE(request->params["n"].is_number());
        }
    }
}

TEST(AnswerLineTest, SuccessAndFailureShapes) {
    const Json result = Json::parse(R"({"zeta":1,"alpha":{"y":[{"b":1,"a":2}],"x":"s"}})");
    EXPECT_EQ(answerLine("7", result),
              R"({"id":"7","result":{"alpha":{"x":"s","y":[{"a":2,"b":1}]},"zeta":1}})"
              "\n");
    EXPECT_EQ(answerLine("7", HostError{ErrorCode::MacLocked}), R"({"error":"mac_locked","id":"7"})"
                                                                "\n");
    EXPECT_EQ(answerLine("", EngineFailure{}), R"({"error":"engine_failed","id":""})"
                                               "\n");
    // A result that is not an object is a fault of the engine, never passed on.
    EXPECT_EQ(answerLine("n", Json::array()), R"({"error":"engine_failed","id":"n"})"
                                              "\n");
}

TEST(AnswerLineTest, AResultWithoutAJsonFormIsWithheld) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        const char* what;
        Json result;
        bool written;
    } cases[] = {
        {"NaN at the top", {{"x", nan}}, false},
        {"infinity", {{"x", inf}}, false},
        {"minus infinity", {{"x", -inf}}, false},
        {"deep in arrays and objects", {{"a", {1, {{"b", {2.5, {{"c", nan}}}}}}}}, false},
        {"finite extremes",
         {{"max", std::numeric_limits<double>::max()}, {"minus zero", -0.0}},
         true},
        {"integers", {{"big", std::numeric_limits<std::int64_t>::min()}}, true},
    };
    for (const auto& c : cases) {
        const auto line = answerLine("1", c.result);
        EXPECT_EQ(line.has_value(), c.written) << c.what;
        if (line) {
            EXPECT_EQ(line->find("null"), std::string::npos) << c.what;
        }
    }
}

TEST(AnswerLineTest, EveryAnswerIsOneLine) {
    const std::string id = "a\nb\r\"\\\x01\u2028/";
    const Json result = {{"text", "line\nbreak\ttab"}, {"k\n", true}};
    for (const Outcome& outcome : {Outcome{result}, Outcome{HostError{ErrorCode::TargetChanged}}}) {
        const auto line = answerLine(id, outcome);
        ASSERT_TRUE(line);
        EXPECT_EQ(line->find('\n'), line->size() - 1);
        const auto back = Json::parse(line->substr(0, line->size() - 1));
        EXPECT_EQ(back["id"], id);
        EXPECT_EQ(back.size(), 2u);
    }
}

} // namespace
} // namespace host
