// The program prepares the largest pictures it accepts, at their most extreme shapes, and
// a PDF image made to expand without bound, within 1 GiB of address space. (Peak memory
// and time are measured by bench/attachments/memory.sh, not here.)
#include "format_fixtures.h"
#include "image_fixtures.h"
#include "tests/attachments/support/pdf_builder.h"
#include "tests/attachments/support/run_process.h"
#include "tests/support/scratch_dir.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace attachments {
namespace {

constexpr std::uint64_t kAddressSpace = std::uint64_t{1} << 30;

// Smooth, so that the files stay small and quick to write.
fixtures::Picture smooth(int width, int height) {
    return fixtures::makePicture(width, height, [](int x, int y) {
        return fixtures::Rgba{static_cast<std::uint8_t>(x / 64), static_cast<std::uint8_t>(y / 64),
                              static_cast<std::uint8_t>((x + y) / 128), 255};
    });
}

struct LargeCase {
    const char* name;
    int width, height;
    std::function<void(const std::filesystem::path&, const fixtures::Picture&)> write;
};

TEST(MemoryLimit, TheLargestPicturesArePreparedWithinOneGibibyte) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer reserves far more address space than the limit";
#endif
    using namespace fixtures;
    const LargeCase cases[] = {
        {"40000000x1.png", 40'000'000, 1, [](auto& p, auto& i) { writePng(p, i); }},
        {"1x40000000.png", 1, 40'000'000, [](auto& p, auto& i) { writePng(p, i); }},
        // Rows of 120 MB: too long to keep, so those above are read again where needed.
        {"20000000x2-16bit.png", 20'000'000, 2,
         [](auto& p, auto& i) { writePng(p, i, {.kind = PngKind::Rgb16}); }},
        {"interlaced.png", 8000, 5000,
         [](auto& p, auto& i) { writePng(p, i, {.interlaced = true}); }},
        {"one-strip.tif", 8000, 5000,
         [](auto& p, auto& i) { writeTiff(p, i, {.rowsPerStrip = 0}); }},
        {"one-strip-row.tif", 40'000'000, 1,
         [](auto& p, auto& i) { writeTiff(p, i, {.rowsPerStrip = 0}); }},
        {"tiles.tif", 200'000, 200, [](auto& p, auto& i) { writeTiff(p, i, {.tileSide = 256}); }},
        {"wide.jpg", 65500, 610, [](auto& p, auto& i) { writeJpeg(p, i); }},
    };
    test_support::ScratchDir dir;
    for (const LargeCase& c : cases) {
        SCOPED_TRACE(c.name);
        c.write(dir.path() / c.name, smooth(c.width, c.height));
        const std::string job = R"({"input":")" + dir / c.name +
                                R"(","operation":"prepare","output":")" + dir.path().string() +
                                R"("})";
        const testing::ProcessResult result =
            testing::runProcess(BREVAIL_PROGRAM, job, "", kAddressSpace);
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(result.status, 0);
        EXPECT_NE(result.out.find(R"("width":)" + std::to_string(c.width)), std::string::npos)
            << result.out;
        std::filesystem::remove(dir.path() / c.name);
    }
}

TEST(MemoryLimit, APdfImageMadeToExpandWithoutBoundIsLeftOutWithinOneGibibyte) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer reserves far more address space than the limit";
#endif
    test_support::ScratchDir dir;
    test_support::writeFile(dir / "bomb.pdf", testing::jbig2BombPdf(65535));
    const testing::ProcessResult result = testing::runProcess(
        BREVAIL_PROGRAM,
        R"({"input":"bomb.pdf","operation":"prepare","kind":"pdf","output":".","pages":[1]})",
        dir.path().string(), kAddressSpace);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, R"({"items":[{"file":"page-1.jpg","page":1,"text":"Bomb\n\n"}],)"
                          R"("kind":"pdf","pages":1})");
}

} // namespace
} // namespace attachments
