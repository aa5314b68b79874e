#include "common/json.h"

#include <gtest/gtest.h>
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

} // namespace
