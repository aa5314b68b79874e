#include "common/json.h"

#include <gtest/gtest.h>
#include <limits>
#include <string>

using common::compact;
using common::Json;
using common::parseStrict;

namespace {

TEST(StrictJson, AcceptsOneTextWithWhitespaceOnly) {
    EXPECT_TRUE(parseStrict(" {\"a\":1}\r\n\t"));
    EXPECT_TRUE(parseStrict("[]"));
    EXPECT_TRUE(parseStrict("3"));
}

TEST(StrictJson, RefusesEverythingElse) {
    const char* rows[] = {"",        "{} {}", "{}x",      "{'a':1}", "{\"a\":1,}",
                          "/*c*/{}", "nul",   "\"\xff\"", "[1,]",    "{\"a\"}"};
    for (const char* row : rows)
        EXPECT_FALSE(parseStrict(row)) << row;
    using namespace std::string_literals;
    EXPECT_FALSE(parseStrict("{\"a\":1}\0garbage"s));
    EXPECT_FALSE(parseStrict("{\"a\":\"x\0y\"}"s));
}

TEST(StrictJson, SurvivesDeepNestingAndHugeNumbers) {
    std::string deep(60000, '[');
    EXPECT_FALSE(parseStrict(deep));
    std::string closed = deep + std::string(60000, ']');
    EXPECT_TRUE(parseStrict(closed)); // iterative parser and destructor: no stack overflow
    std::string huge = "[1" + std::string(5000, '0') + "]";
    (void)parseStrict(huge); // must neither throw nor crash; the value itself is irrelevant
    (void)parseStrict("1e999999");
}

TEST(CompactJson, SortsKeysAtEveryDepthAndReplacesBadText) {
    Json value = {{"b", 1}, {"a", {{"z", true}, {"m", nullptr}}}, {"c", "x"}};
    EXPECT_EQ(compact(value), R"({"a":{"m":null,"z":true},"b":1,"c":"x"})");
    EXPECT_EQ(compact(Json("caf\xc3\xa9")), "\"caf\xc3\xa9\"");
    EXPECT_EQ(compact(Json("a\xff")), "\"a\xef\xbf\xbd\"");
}

TEST(CompactJson, WritesWhatTheLibraryWritesToTheByte) {
    using namespace std::string_literals;
    const Json rows[] = {
        Json::object(),
        Json::array(),
        Json{{"image", std::string(100000, 'A') + "+/=="}, {"width", 800}},
        Json("quote \" and backslash \\ and slash /"),
        Json("line\nfeed\ttab\x01\x1f\x7f end"),
        Json("\0 inside"s),
        Json("caf\xc3\xa9 \xf0\x9f\x91\x8d"),
        Json("bad \xff\xfe utf-8 \xc3"),
        Json{{"k\xff"
              "ey",
              "v"},
             {"plain", "x"},
             {"\"", 1}},
        Json{{"b", {1, -0.0, 0.1, 800.0, 1e300, -1e-300}}, {"a", {nullptr, true, false}}},
        Json{{"n", std::numeric_limits<std::uint64_t>::max()},
             {"m", std::numeric_limits<std::int64_t>::min()}},
        Json{{"nested", {{{"x", {{"y", Json::array({Json::object()})}}}}}}},
        Json(3.5),
        Json(nullptr),
    };
    for (const Json& row : rows)
        EXPECT_EQ(compact(row), row.dump(-1, ' ', false, Json::error_handler_t::replace))
            << row.dump(-1, ' ', true, Json::error_handler_t::replace);
}

TEST(CompactJson, WritesNestingDeeperThanAStackWouldHold) {
    const std::string text = std::string(200000, '[') + "1" + std::string(200000, ']');
    auto deep = parseStrict(text);
    ASSERT_TRUE(deep);
    EXPECT_EQ(compact(*deep), text);
}

} // namespace
