// Lenient parameter reading.

#include "host/base/params.h"

#include <gtest/gtest.h>

namespace host {
namespace {

using common::Json;

TEST(ParamsTest, WrongTypesNullAndMissingAreAbsent) {
    const Json params =
        Json::parse(R"({"s":"text","o":{"a":1},"n":2.5,"b":true,"z":null,"a":[1],"i":7})");
    EXPECT_EQ(params::string(params, "s"), "text");
    EXPECT_FALSE(params::string(params, "n"));
    EXPECT_FALSE(params::string(params, "z"));
    EXPECT_FALSE(params::string(params, "missing"));
    EXPECT_EQ(params::object(params, "o"), Json({{"a", 1}}));
    EXPECT_FALSE(params::object(params, "a"));
    EXPECT_FALSE(params::object(params, "z"));
    EXPECT_EQ(params::number(params, "n"), 2.5);
    EXPECT_EQ(params::number(params, "i"), 7.0);
    EXPECT_FALSE(params::number(params, "b")); // booleans are not numbers
    EXPECT_FALSE(params::number(params, "s"));
    EXPECT_FALSE(params::string(Json::array({"s"}), "s"));
    EXPECT_FALSE(params::number(Json(nullptr), "n"));
}

TEST(ParamsTest, IntegersMustBeIntegralAndInRange) {
    const struct {
        const char* json;
        std::optional<std::uint32_t> u32;
        std::optional<std::int32_t> i32;
    } cases[] = {
        {"42", 42u, 42},
        {"42.0", 42u, 42},
        {"42.5", std::nullopt, std::nullopt},
        {"-1", std::nullopt, -1},
        {"-0.0", 0u, 0},
        {"4294967295", 4294967295u, std::nullopt},
        {"4294967296", std::nullopt, std::nullopt},
        {"2147483647", 2147483647u, 2147483647},
        {"2147483648", 2147483648u, std::nullopt},
        {"-2147483648", std::nullopt, -2147483647 - 1},
        {"-2147483649", std::nullopt, std::nullopt},
        {"1e300", std::nullopt, std::nullopt},
        {"18446744073709551615", std::nullopt, std::nullopt},
        {"-9223372036854775808", std::nullopt, std::nullopt},
        {"true", std::nullopt, std::nullopt},
        {"\"5\"", std::nullopt, std::nullopt},
        {"null", std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        const Json params = Json::parse(std::string(R"({"v":)") + c.json + "}");
        EXPECT_EQ(params::u32(params, "v"), c.u32) << c.json;
        EXPECT_EQ(params::i32(params, "v"), c.i32) << c.json;
    }
}

TEST(ParamsTest, DeepCopyKeepsEveryValueAtAnyDepth) {
    const Json sample = Json::parse(
        R"({"a":[1,-2,3.5,"x",null,true,{"b":{}},[]],"c":{"d":[[["e"]]]},"f":18446744073709551615})");
    EXPECT_EQ(params::deepCopy(sample), sample);
    EXPECT_EQ(params::deepCopy(Json(5)), Json(5));
}

TEST(ParamsTest, DeeplyNestedObjectsAreCopiedWithoutExhaustingTheStack) {
    constexpr int depth = 200'000;
    std::string text = R"({"app":{"k":)";
    text.append(depth, '[');
    text.append(depth, ']');
    text += "}}";
    const auto params = common::parseStrict(text);
    ASSERT_TRUE(params);
    const auto app = params::object(*params, "app");
    ASSERT_TRUE(app);
    const Json* inner = &(*app)["k"];
    int levels = 0;
    while (inner->is_array() && !inner->empty()) {
        inner = &(*inner)[0];
        ++levels;
    }
    EXPECT_EQ(levels, depth - 1);
}

} // namespace
} // namespace host
