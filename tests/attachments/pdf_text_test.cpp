// Page text carries characters beyond the Basic Multilingual Plane as UTF-8, whatever
// MuPDF makes of a font's UTF-16 ToUnicode map, and emoji sequences count as one
// character each when the text is cut.
#include "attachments/pdf/page_text.h"
#include "attachments/pdf/process_pdf.h"
#include "common/graphemes.h"
#include "tests/attachments/support/pdf_builder.h"
#include "tests/support/scratch_dir.h"

#include <gtest/gtest.h>

namespace attachments {
namespace {

using common::Json;
using testing::kFamilyOfThree;
using testing::kFlagOfFrance;

std::string repeat(const std::string& piece, std::size_t times) {
    std::string out;
    for (std::size_t i = 0; i < times; ++i)
        out += piece;
    return out;
}

TEST(PageText, SurrogateHalvesAreJoinedAndLoneOnesReplaced) {
    // U+1F600 as MuPDF writes it: D83D and DE00, each encoded on its own.
    const std::string high = "\xED\xA0\xBD", low = "\xED\xB8\x80", grin = "\U0001F600";
    const std::string fffd = "\uFFFD";
    const struct {
        std::string in, out;
    } cases[] = {
        {"plain text", "plain text"},
        {high + low, grin},
        {"a" + high + low + "b" + high + low, "a" + grin + "b" + grin},
        {high, fffd},                                   // a high half alone
        {low, fffd},                                    // a low half alone
        {low + high, fffd + fffd},                      // in the wrong order
        {high + high + low, fffd + grin},               // a second high half starts the pair
        {high + "x" + low, fffd + "x" + fffd},          // broken apart
        {grin + "\u00E9\u4E2D", grin + "\u00E9\u4E2D"}, // real UTF-8 is kept
        {"\xED\xA0", "\xED\xA0"},                       // a cut sequence is no surrogate
        {"\xED\x9F\xBF", "\xED\x9F\xBF"},               // U+D7FF, just below the surrogates
    };
    for (const auto& c : cases)
        EXPECT_EQ(joinSurrogatePairs(c.in), c.out) << c.in;
}

class PdfText : public ::testing::Test {
protected:
    Json prepare(const std::string& pdf) {
        test_support::writeFile(dir / "input.pdf", pdf);
        const Json job = {{"output", dir.path().string()}, {"pages", {1}}};
        return processPdf(job, dir / "input.pdf", "prepare");
    }
    test_support::ScratchDir dir;
};

TEST_F(PdfText, EmojiFromAToUnicodeMapComeOutAsUtf8) {
    const Json report = prepare(testing::emojiTextPdf({"ABBA"}));
    const std::string flag = kFlagOfFrance, family = kFamilyOfThree;
    EXPECT_EQ(report["items"][0]["text"], flag + family + family + flag + "\n\n");
}

TEST_F(PdfText, AnEmojiSequenceCountsAsOneCharacterInTheCut) {
    // 70 lines of 1000 flags: 70,000 flags and 70 line breaks; the cut keeps 60,001
    // characters, all of them whole flags but for the line breaks among them.
    const std::vector<std::string> lines(70, std::string(1000, 'A'));
    const std::string text = prepare(testing::emojiTextPdf(lines, 0.5))["items"][0]["text"];
    EXPECT_EQ(common::countGraphemes(text), 60001u);
    EXPECT_EQ(text.find("\uFFFD"), std::string::npos);
    const std::string line = repeat(kFlagOfFrance, 1000) + "\n";
    EXPECT_EQ(text.substr(0, line.size()), line);
    // 59 whole lines (59,059 characters) and 942 flags of the 60th.
    EXPECT_EQ(text, repeat(line, 59) + repeat(kFlagOfFrance, 942));
}

} // namespace
} // namespace attachments
