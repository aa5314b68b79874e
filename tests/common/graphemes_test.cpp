#include "common/graphemes.h"

#include <gtest/gtest.h>
#include <string>

using common::countGraphemes;
using common::firstGraphemes;

namespace {

std::string repeat(const std::string& unit, int times) {
    std::string out;
    for (int i = 0; i < times; ++i)
        out += unit;
    return out;
}

TEST(Graphemes, CountsUserPerceivedCharacters) {
    struct Row {
        const char* name;
        std::string text;
        std::size_t clusters;
    } rows[] = {
        {"empty", "", 0},
        {"ascii", "Mail", 4},
        {"combining marks", "e\u0301\u0323x", 2},
        {"emoji zwj family", "\U0001F468\u200D\U0001F469\u200D\U0001F467", 1},
        {"flag pair", "\U0001F1EB\U0001F1F7\U0001F1E9\U0001F1EA", 2},
        {"crlf is one", "a\r\nb", 3},
        {"hangul syllable jamo", "\u1100\u1161\u11A8", 1},
        {"invalid bytes count alone",
         "a\xff\xfe"
         "b",
         4},
    };
    for (const auto& row : rows)
        EXPECT_EQ(countGraphemes(row.text), row.clusters) << row.name;
}

TEST(Graphemes, CutsWithoutSplittingAndKeepsShortTextWhole) {
    std::string accented = repeat("a\u0308", 100); // 100 clusters, 300 bytes
    EXPECT_EQ(firstGraphemes(accented, 80), repeat("a\u0308", 80));
    EXPECT_EQ(firstGraphemes(accented, 100), accented);
    EXPECT_EQ(firstGraphemes(accented, 101), accented);
    EXPECT_EQ(firstGraphemes(accented, 0), "");
    std::string family = "\U0001F468\u200D\U0001F469\u200D\U0001F467";
    EXPECT_EQ(firstGraphemes(family + "x", 1), family);
}

} // namespace
