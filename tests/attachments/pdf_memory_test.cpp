// MuPDF's memory stops at a ceiling: past it an allocation fails, MuPDF leaves out what it
// could not make and draws the rest of the page; a page that cannot be drawn at all is
// "Cannot render PDF".
#include "attachments/failure.h"
#include "attachments/pdf/memory_budget.h"
#include "attachments/pdf/process_pdf.h"
#include "tests/attachments/support/pdf_builder.h"
#include "tests/support/jpeg_decode.h"
#include "tests/support/scratch_dir.h"

#include <gtest/gtest.h>

#include <cstring>

namespace attachments {
namespace {

using common::Json;
using mupdf::MemoryBudget;
using test_support::ScratchDir;

TEST(PdfMemoryBudget, TheBudgetRefusesWhatWouldPassTheCeilingAndTakesBackWhatIsFreed) {
    MemoryBudget budget(1000);
    const fz_alloc_context a = budget.allocator();
    void* whole = a.malloc(a.user, 1000);
    ASSERT_NE(whole, nullptr);
    EXPECT_EQ(a.malloc(a.user, 1), nullptr); // the ceiling is reached
    a.free(a.user, whole);
    EXPECT_EQ(budget.inUse(), 0u);

    auto* block = static_cast<unsigned char*>(a.malloc(a.user, 600));
    ASSERT_NE(block, nullptr);
    std::memset(block, 0x5A, 600);
    EXPECT_EQ(a.realloc(a.user, block, 1001), nullptr); // refused: the old block stands
    EXPECT_EQ(budget.inUse(), 600u);
    EXPECT_EQ(block[599], 0x5A);
    block = static_cast<unsigned char*>(a.realloc(a.user, block, 1000));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block[599], 0x5A);
    block = static_cast<unsigned char*>(a.realloc(a.user, block, 100)); // shrinking gives back
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(budget.inUse(), 100u);
    void* other = a.malloc(a.user, 900);
    EXPECT_NE(other, nullptr);
    a.free(a.user, other);
    a.free(a.user, block);
    a.free(a.user, nullptr);
    EXPECT_EQ(budget.inUse(), 0u);
    EXPECT_EQ(budget.peak(), 1000u);
    EXPECT_EQ(a.malloc(a.user, SIZE_MAX), nullptr);
    // Blocks keep malloc's alignment.
    void* aligned = a.malloc(a.user, 24);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(aligned) % alignof(std::max_align_t), 0u);
    a.free(a.user, aligned);
}

class PdfMemory : public ::testing::Test {
protected:
    Json run(const std::string& pdf, const std::string& operation, std::size_t ceiling) {
        const Json job = {{"output", dir.path().string()}, {"pages", {1}}};
        return processPdf(job, writeInput(pdf), operation, ceiling);
    }
    std::string writeInput(const std::string& pdf) {
        test_support::writeFile(dir / "input.pdf", pdf);
        return dir / "input.pdf";
    }
    ScratchDir dir;
};

TEST_F(PdfMemory, AnImageThatWouldExpandPastTheCeilingIsLeftOutAndTheRestDrawn) {
    // 65,535 x 65,535 pixels (the most MuPDF takes) from a few bytes: the decoder's page
    // alone would take 512 MiB, and decoding it half a minute. Refused its memory, the
    // decoder gives up at once; the rest of the page is drawn as usual.
    const Json report = processPdf({{"output", dir.path().string()}, {"pages", {1}}},
                                   writeInput(testing::jbig2BombPdf(65535)), "prepare");
    EXPECT_EQ(report["items"][0]["text"], "Bomb\n\n");
    const auto page = test_support::readJpeg(dir / "page-1.jpg");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->height, 2000);
    EXPECT_GT(page->at(page->width / 2, 400).r, 240); // white above the image
}

TEST_F(PdfMemory, APageThatCannotBeDrawnWithinTheCeilingCannotBeRendered) {
    // Enough to open the document, not enough for the 1545 x 2000 pixmap.
    constexpr std::size_t kCeiling = 8 << 20;
    EXPECT_EQ(run(testing::makeNumberedPdf(1), "inspect", kCeiling)["pages"], 1);
    try {
        run(testing::makeNumberedPdf(1), "prepare", kCeiling);
        ADD_FAILURE() << "rendered within 8 MiB";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.message, "Cannot render PDF");
    }
}

} // namespace
} // namespace attachments
