#pragma once
// Small PDF files written by hand for the tests: one Helvetica font, and per page a media
// box, a content stream and any extra page entries.

#include <cstdint>
#include <string>
#include <vector>

namespace attachments::testing {

struct PdfPage {
    std::string contents; // the content stream
    std::string mediaBox; // the array's contents; empty: no MediaBox entry
    std::string extra;    // further entries of the page dictionary

    explicit PdfPage(std::string contents = "", std::string mediaBox = "0 0 612 792",
                     std::string extra = "")
        : contents(std::move(contents)), mediaBox(std::move(mediaBox)), extra(std::move(extra)) {}
};

// A complete PDF with a correct cross-reference table. `declaredCount`, when not negative,
// replaces the page tree's /Count.
std::string makePdf(const std::vector<PdfPage>& pages, int declaredCount = -1);

// `count` pages of 612 x 792 points, each showing "Page N".
std::string makeNumberedPdf(int count);

// Content that shows `text` (plain ASCII, no parentheses or backslashes) at (x, y).
std::string showText(const std::string& text, double x, double y, double size = 12);

// Content that fills the rectangle black.
std::string fillRect(double x, double y, double width, double height);

// One page of 612 x 792 points whose lower half holds a JBIG2 image of `side` x `side`
// pixels, its few bytes of data expanding to the whole of it (the decoder allocates its
// page and region at full size), and whose upper half says "Bomb".
std::string jbig2BombPdf(std::uint32_t side);

// One page of text lines in a font whose ToUnicode map turns "A" into the flag of France
// (two regional indicators, U+1F1EB U+1F1F7) and "B" into a family of three (man, ZWJ,
// woman, ZWJ, girl), both written in UTF-16 with surrogate pairs. `lines` hold only A and B.
std::string emojiTextPdf(const std::vector<std::string>& lines, double fontSize = 12);
inline constexpr const char* kFlagOfFrance = "\U0001F1EB\U0001F1F7";
inline constexpr const char* kFamilyOfThree = "\U0001F468\u200D\U0001F469\u200D\U0001F467";

// Rewrites the PDF at `in` to `out` encrypted (AES-256 or RC4-128) with an empty user
// password and an owner password, as MuPDF does. Throws when MuPDF fails.
void encryptWithEmptyUserPassword(const std::string& in, const std::string& out, bool aes);

} // namespace attachments::testing
