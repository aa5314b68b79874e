// The requirement language: what compiles, what it means, and precedence.
#include <gtest/gtest.h>

#include "host/platform/linux/bundles/requirement.h"

namespace host::bundles {
namespace {

const std::string kHashHex = "00112233445566778899aabbccddeeff00112233445566778899aabbccddeeff";

CodeFacts signedFacts() {
    return CodeFacts{"com.example.App", std::string("TEAMTEAM01"), *digestFromHex(kHashHex)};
}
CodeFacts adHocFacts() {
    return CodeFacts{"com.example.App", std::nullopt, *digestFromHex(kHashHex)};
}

struct Case {
    const char* text;
    bool signedResult; // against signedFacts()
    bool adHocResult;  // against adHocFacts()
};

class EvaluationTest : public ::testing::TestWithParam<Case> {};

TEST_P(EvaluationTest, Evaluates) {
    const Case& c = GetParam();
    auto requirement = compileRequirementText(c.text);
    ASSERT_TRUE(requirement) << c.text;
    EXPECT_EQ(requirement->satisfiedBy(signedFacts()), c.signedResult) << c.text;
    EXPECT_EQ(requirement->satisfiedBy(adHocFacts()), c.adHocResult) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Requirement, EvaluationTest,
    ::testing::Values(
        Case{"identifier \"com.example.App\"", true, true},
        Case{"identifier \"com.example.Other\"", false, false},
        Case{"cdhash H\"00112233445566778899aabbccddeeff00112233445566778899aabbccddeeff\"", true,
             true},
        Case{"cdhash H\"00112233445566778899AABBCCDDEEFF00112233445566778899AABBCCDDEEFF\"", true,
             true},
        Case{"cdhash H\"10112233445566778899aabbccddeeff00112233445566778899aabbccddeeff\"", false,
             false},
        Case{"certificate leaf[subject.OU] = \"TEAMTEAM01\"", true, false},
        Case{"certificate leaf [ subject.OU ] = \"TEAMTEAM01\"", true, false},
        Case{"certificate leaf[subject.OU] = \"OTHERTEAM1\"", false, false},
        Case{"identifier \"com.example.App\" and certificate leaf[subject.OU] = \"TEAMTEAM01\"",
             true, false},
        Case{"!identifier \"com.example.Other\"", true, true},
        Case{"!!identifier \"com.example.App\"", true, true},
        Case{"! certificate leaf[subject.OU] = \"TEAMTEAM01\"", false, true},
        // `and` binds tighter than `or`: true or (false and false).
        Case{"identifier \"com.example.App\" or identifier \"x\" and identifier \"y\"", true, true},
        Case{"(identifier \"com.example.App\" or identifier \"x\") and identifier \"y\"", false,
             false},
        // `!` binds tighter than `and`: (!false) and true.
        Case{"!identifier \"x\" and identifier \"com.example.App\"", true, true},
        Case{"!(identifier \"x\" or identifier \"com.example.App\")", false, false},
        Case{"identifier \"a\" or identifier \"b\" or identifier \"com.example.App\"", true, true},
        Case{"((((identifier \"com.example.App\"))))", true, true},
        Case{"  identifier\t\"com.example.App\"\n", true, true}));

TEST(Requirement, EscapedQuotesRoundTrip) {
    const std::string odd = "com.\"odd\"\\id";
    auto requirement = compileRequirementText("identifier " + quoteRequirementString(odd));
    ASSERT_TRUE(requirement);
    EXPECT_TRUE(requirement->satisfiedBy(CodeFacts{odd, std::nullopt, {}}));
    EXPECT_FALSE(requirement->satisfiedBy(CodeFacts{"com.odd", std::nullopt, {}}));
}

TEST(Requirement, GarbageDoesNotCompile) {
    const char* refused[] = {
        "",
        "   ",
        "identifier",
        "identifier com.example.App",
        "identifier = \"com.example.App\"",
        "identifier \"unterminated",
        "identifier \"bad \\n escape\"",
        "identifier \"tab\tinside\"",
        "cdhash H\"0011\"",
        "cdhash H\"zz112233445566778899aabbccddeeff00112233445566778899aabbccddeeff\"",
        "cdhash \"00112233445566778899aabbccddeeff00112233445566778899aabbccddeeff\"",
        "certificate leaf[subject.CN] = \"T\"",
        "certificate root[subject.OU] = \"T\"",
        "certificate leaf[subject.OU] \"T\"",
        "certificate leaf[subject.OU = \"T\"",
        "anchor apple",
        "identifier \"a\" and",
        "and identifier \"a\"",
        "identifier \"a\" or or identifier \"b\"",
        "identifier \"a\" identifier \"b\"",
        "(identifier \"a\"",
        "identifier \"a\")",
        "!",
        "identifier \"a\" && identifier \"b\"",
        "IDENTIFIER \"a\"",
        "identifier \"a\" # comment",
    };
    for (const char* text : refused)
        EXPECT_FALSE(compileRequirementText(text)) << text;
}

TEST(Requirement, DeepNestingIsRefusedNotOverflowed) {
    std::string deep(100000, '(');
    deep += "identifier \"a\"";
    deep += std::string(100000, ')');
    EXPECT_FALSE(compileRequirementText(deep));
    std::string nots(100000, '!');
    EXPECT_FALSE(compileRequirementText(nots + "identifier \"a\""));
    std::string fine = std::string(20, '(') + "identifier \"a\"" + std::string(20, ')');
    EXPECT_TRUE(compileRequirementText(fine));
}

TEST(Requirement, LongChainsEvaluateWithoutDeepRecursion) {
    std::string chain = "identifier \"x0\"";
    for (int i = 1; i < 2000; ++i)
        chain += " or identifier \"x" + std::to_string(i) + "\"";
    auto requirement = compileRequirementText(chain + " or identifier \"com.example.App\"");
    ASSERT_TRUE(requirement);
    EXPECT_TRUE(requirement->satisfiedBy(adHocFacts()));
}

} // namespace
} // namespace host::bundles
