#include "attachments/failure.h"
#include "attachments/pdf/process_pdf.h"
#include "common/graphemes.h"
#include "tests/attachments/support/name_swapper.h"
#include "tests/attachments/support/pdf_builder.h"
#include "tests/support/jpeg_decode.h"
#include "tests/support/scratch_dir.h"

#include <cmath>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace attachments {
namespace {

using common::Json;
using test_support::ScratchDir;
using testing::fillRect;
using testing::makePdf;
using testing::PdfPage;
using testing::showText;
namespace fs = std::filesystem;

class PdfPath : public ::testing::Test {
protected:
    // Writes `pdf` as the input file and returns its path.
    std::string input(const std::string& pdf) {
        std::string path = files / "input.pdf";
        test_support::writeFile(path, pdf);
        return path;
    }

    Json prepare(const std::string& pdf, const Json& pages) {
        Json job = {{"output", out.path().string()}, {"pages", pages}};
        return processPdf(job, input(pdf), "prepare");
    }

    std::string failureOf(const std::function<void()>& run) {
        try {
            run();
        } catch (const Failure& failure) {
            return failure.message;
        }
        return "";
    }

    std::string prepareFailure(const std::string& pdf, const Json& pages) {
        return failureOf([&] { prepare(pdf, pages); });
    }

    std::optional<test_support::RgbImage> written(int page) {
        return test_support::readJpeg(out / ("page-" + std::to_string(page) + ".jpg"));
    }

    ScratchDir files, out;
};

TEST_F(PdfPath, InspectionReportsThePageCountOnlyAndIgnoresTheRest) {
    std::string path = input(testing::makeNumberedPdf(3));
    for (const char* operation : {"", "inspect", "Prepare"}) {
        Json job = {{"pages", "nonsense"}, {"output", 7}};
        EXPECT_EQ(processPdf(job, path, operation), (Json{{"kind", "pdf"}, {"pages", 3}}));
        EXPECT_EQ(processPdf(Json::object(), path, operation),
                  (Json{{"kind", "pdf"}, {"pages", 3}}));
    }
    EXPECT_TRUE(out.entries().empty());
}

TEST_F(PdfPath, AcceptsOneToAHundredPages) {
    for (int count : {1, 100}) {
        std::string path = input(testing::makeNumberedPdf(count));
        EXPECT_EQ(processPdf(Json::object(), path, "")["pages"], count);
    }
}

TEST_F(PdfPath, RefusesWhatIsNotAReadableUnencryptedPdfOfAtMostAHundredPages) {
    std::string tooLong = testing::makeNumberedPdf(101);
    std::string empty = makePdf({});
    std::string plain = testing::makeNumberedPdf(2);
    test_support::writeFile(files / "plain.pdf", plain);
    testing::encryptWithEmptyUserPassword(files / "plain.pdf", files / "aes.pdf", true);
    testing::encryptWithEmptyUserPassword(files / "plain.pdf", files / "rc4.pdf", false);
    const std::string cases[] = {tooLong,
                                 empty,
                                 "",
                                 "not a pdf at all",
                                 "\x89PNG\r\n\x1a\n",
                                 test_support::readFile(files / "aes.pdf"),
                                 test_support::readFile(files / "rc4.pdf")};
    for (const std::string& pdf : cases) {
        std::string path = input(pdf);
        for (const char* operation : {"", "prepare"}) {
            Json job = {{"output", out.path().string()}, {"pages", {1}}};
            EXPECT_EQ(failureOf([&] { processPdf(job, path, operation); }),
                      "Unsupported, encrypted or damaged PDF")
                << pdf.substr(0, 40);
        }
    }
    EXPECT_EQ(failureOf([&] { processPdf(Json::object(), files / "missing.pdf", ""); }),
              "Unsupported, encrypted or damaged PDF");
    EXPECT_EQ(failureOf([&] { processPdf(Json::object(), files.path().string(), ""); }),
              "Unsupported, encrypted or damaged PDF");
    // Devices and pipes are refused rather than read for ever.
    ASSERT_EQ(::mkfifo((files / "pipe.pdf").c_str(), 0600), 0);
    for (const std::string& path : {std::string("/dev/zero"), files / "pipe.pdf"})
        EXPECT_EQ(failureOf([&] { processPdf(Json::object(), path, ""); }),
                  "Unsupported, encrypted or damaged PDF");
    // A NUL must not cut the name short to an existing file.
    std::string cut = files / "plain.pdf";
    EXPECT_EQ(failureOf([&] { processPdf(Json::object(), cut + std::string("\0x", 2), ""); }),
              "Unsupported, encrypted or damaged PDF");
    EXPECT_TRUE(out.entries().empty());
}

TEST_F(PdfPath, AFifoSwappedInUnderTheNameNeverHoldsTheRun) {
    // The file is opened once and that descriptor is what MuPDF reads: whichever of the
    // two the name points to at that moment decides, and nothing waits on the FIFO.
    std::string path = input(testing::makeNumberedPdf(2));
    ASSERT_EQ(::mkfifo((files / "other").c_str(), 0600), 0);
    const testing::NameSwapper swapper(path, files / "other");
    // At least 200 runs, and on until the names have been exchanged 200 times meanwhile.
    for (int run = 0; run < 200 || (swapper.swaps() < 200 && run < 100000); ++run) {
        const std::string failure =
            failureOf([&] { EXPECT_EQ(processPdf(Json::object(), path, "")["pages"], 2); });
        if (!failure.empty()) {
            EXPECT_EQ(failure, "Unsupported, encrypted or damaged PDF");
        }
    }
    EXPECT_GE(swapper.swaps(), 200);
}

TEST_F(PdfPath, PrepareNeedsAnOutputAndOneToTenIntegerPages) {
    std::string path = input(testing::makeNumberedPdf(3));
    const Json goodPages = {1};
    const Json badJobs[] = {
        {{"pages", goodPages}},
        {{"output", 5}, {"pages", goodPages}},
        {{"output", nullptr}, {"pages", goodPages}},
        {{"output", out.path().string()}},
        {{"output", out.path().string()}, {"pages", 1}},
        {{"output", out.path().string()}, {"pages", Json::array()}},
        {{"output", out.path().string()}, {"pages", Json(11, 1)}},
        {{"output", out.path().string()}, {"pages", {"1"}}},
        {{"output", out.path().string()}, {"pages", {1.5}}},
        {{"output", out.path().string()}, {"pages", {1, nullptr}}},
        {{"output", out.path().string()}, {"pages", {true}}},
        {{"output", out.path().string()}, {"pages", {Json::array({1})}}},
        {{"output", out.path().string()}, {"pages", {1e19}}},
        {{"output", out.path().string()}, {"pages", {18446744073709551615ull}}},
        // An entry that is not an integer is refused before the count is looked at.
        {{"output", out.path().string()}, {"pages", {1, 2, 3, 1, 2, 3, 1, 2, 3, 1, "2"}}},
    };
    for (const Json& job : badJobs)
        EXPECT_EQ(failureOf([&] { processPdf(job, path, "prepare"); }), "Select PDF pages") << job;
    EXPECT_TRUE(out.entries().empty());
}

TEST_F(PdfPath, TenEntriesAreRenderedInOrderWithIntegralFloatsAsIntegers) {
    Json pages = {1, 2.0, 3, 1, 2, 3, 1, 2, 3, 2e0};
    Json report = prepare(testing::makeNumberedPdf(3), pages);
    ASSERT_EQ(report["items"].size(), 10u);
    EXPECT_EQ(report["items"][1],
              (Json{{"file", "page-2.jpg"}, {"page", 2}, {"text", "Page 2\n\n"}}));
    EXPECT_TRUE(report["items"][9]["page"].is_number_integer());
    EXPECT_EQ(out.entries(), (std::vector<std::string>{"page-1.jpg", "page-2.jpg", "page-3.jpg"}));
}

TEST_F(PdfPath, PageNumbersOutsideTheDocumentAreInvalidAndStopWhereTheyStand) {
    std::string pdf = testing::makeNumberedPdf(3);
    for (Json pages : {Json{0}, Json{-1}, Json{4}, Json{-9223372036854775807LL - 1}}) {
        EXPECT_EQ(prepareFailure(pdf, pages), "Invalid page") << pages;
        EXPECT_TRUE(out.entries().empty());
    }
    // The earlier page stays written although no report names it.
    EXPECT_EQ(prepareFailure(pdf, {1, 4}), "Invalid page");
    EXPECT_EQ(out.entries(), std::vector<std::string>{"page-1.jpg"});
    EXPECT_TRUE(written(1));
}

TEST_F(PdfPath, APageThatCannotBeLoadedIsInvalid) {
    // The page tree claims three pages but holds two.
    std::string pdf = makePdf({PdfPage(showText("one", 72, 700)), PdfPage()}, 3);
    EXPECT_EQ(processPdf(Json::object(), input(pdf), "")["pages"], 3);
    EXPECT_EQ(prepareFailure(pdf, {2, 3}), "Invalid page");
    EXPECT_EQ(out.entries(), std::vector<std::string>{"page-2.jpg"});
}

TEST_F(PdfPath, KeepsTheRequestedOrderAndRendersRepeatedPagesAgain) {
    std::vector<PdfPage> pages = {PdfPage(showText("first", 72, 700)),
                                  PdfPage(showText("second", 72, 700)),
                                  PdfPage(showText("third", 72, 500), "0 0 792 612")};
    Json report = prepare(makePdf(pages), {3, 1});
    EXPECT_EQ(report, (Json{{"kind", "pdf"},
                            {"pages", 3},
                            {"items",
                             {{{"file", "page-3.jpg"}, {"page", 3}, {"text", "third\n\n"}},
                              {{"file", "page-1.jpg"}, {"page", 1}, {"text", "first\n\n"}}}}}));
    EXPECT_EQ(written(3)->width, 2000);
    EXPECT_EQ(written(1)->height, 2000);

    report = prepare(makePdf(pages), {2, 2});
    ASSERT_EQ(report["items"].size(), 2u);
    EXPECT_EQ(report["items"][0], report["items"][1]);
    EXPECT_EQ(report["items"][0]["file"], "page-2.jpg");
}

TEST_F(PdfPath, RendersTheMediaBoxWithItsLongerSideAt2000Pixels) {
    struct Row {
        std::string box;
        int width, height;
    } rows[] = {
        {"0 0 612 792", 1545, 2000},     // 612 * 2000 / 792 = 1545.45
        {"0 0 792 612", 2000, 1545},     // landscape
        {"612 792 0 0", 1545, 2000},     // corners stored the other way round
        {"-50 100 562 892", 1545, 2000}, // an origin away from zero
        {"0 0 8.5 11", 1545, 2000},      // small pages are enlarged to the target
        {"0 0 14400 14400", 2000, 2000}, // big ones reduced
        {"0 0 3000 1", 2000, 1},         // a sliver keeps at least one pixel
    };
    for (const Row& row : rows) {
        prepare(makePdf({PdfPage("", row.box)}), {1});
        auto jpeg = written(1);
        ASSERT_TRUE(jpeg) << row.box;
        EXPECT_EQ(jpeg->width, row.width) << row.box;
        EXPECT_EQ(jpeg->height, row.height) << row.box;
    }
}

TEST_F(PdfPath, DrawsTheWholeMediaBoxUprightOnWhiteWhateverTheCropBox) {
    // Black squares in the media box's top-left and bottom-right corners; the crop box
    // leaves the second one out, but the whole media box is drawn.
    PdfPage page(fillRect(100, 842, 50, 50) + fillRect(662, 100, 50, 50), "100 100 712 892",
                 "/CropBox[100 100 400 400]");
    prepare(makePdf({page}), {1});
    auto jpeg = written(1);
    ASSERT_TRUE(jpeg);
    ASSERT_EQ(jpeg->width, 1545);
    EXPECT_LT(jpeg->at(40, 40).r, 40);     // top-left square
    EXPECT_LT(jpeg->at(1505, 1960).r, 40); // bottom-right square
    EXPECT_GT(jpeg->at(772, 1000).r, 215); // white between them
    EXPECT_GT(jpeg->at(1505, 40).g, 215);
}

TEST_F(PdfPath, TurnsARotatedPageAsAViewerShowsIt) {
    // A quarter turn clockwise: the top-left corner of the page ends up top-right.
    PdfPage page(fillRect(0, 742, 50, 50), "0 0 612 792", "/Rotate 90");
    prepare(makePdf({page}), {1});
    auto jpeg = written(1);
    ASSERT_TRUE(jpeg);
    EXPECT_EQ(jpeg->width, 2000);
    EXPECT_EQ(jpeg->height, 1545);
    EXPECT_LT(jpeg->at(1960, 40).r, 40);
    EXPECT_GT(jpeg->at(40, 40).r, 215);
}

TEST_F(PdfPath, RefusesAMediaBoxWithoutAreaAfterWritingTheEarlierPages) {
    const char* boxes[] = {"0 0 0 792",
                           "0 0 612 612 0",
                           "0 0 612 /Big",
                           "5 5 5 5",
                           "",
                           "0 0 1000000000000000000000000000000000000000000000 792"};
    for (const char* box : boxes) {
        std::vector<PdfPage> pages = {PdfPage(), PdfPage("", box)};
        EXPECT_EQ(prepareFailure(makePdf(pages), {1, 2}), "Invalid PDF dimensions") << box;
        EXPECT_EQ(out.entries(), std::vector<std::string>{"page-1.jpg"}) << box;
        fs::remove(out / "page-1.jpg");
    }
}

TEST_F(PdfPath, ReturnsThePageTextCutTo60001Characters) {
    // 80 lines of 1000 characters, in a tiny font so that they stay on the page.
    std::string contents = "BT /F1 0.5 Tf 0.6 TL 10 780 Td\n";
    for (int line = 0; line < 80; ++line)
        contents += "(" + std::string(1000, 'a' + line % 26) + ") '\n";
    contents += "ET\n";
    std::vector<PdfPage> pages = {PdfPage(contents), PdfPage(fillRect(10, 10, 100, 100))};
    Json report = prepare(makePdf(pages), {1, 2});
    std::string text = report["items"][0]["text"];
    EXPECT_EQ(common::countGraphemes(text), 60001u);
    EXPECT_EQ(text.substr(0, 1001), std::string(1000, 'a') + "\n");
    EXPECT_EQ(report["items"][1]["text"], ""); // a page with no text
}

TEST_F(PdfPath, WriterFailuresEndThePathUnchanged) {
    std::string path = input(testing::makeNumberedPdf(1));
    Json job = {{"output", (out / "missing")}, {"pages", {1}}};
    EXPECT_EQ(failureOf([&] { processPdf(job, path, "prepare"); }), "Cannot prepare image");
    fs::create_directory(out / "page-1.jpg");
    fs::create_directory(out / "page-1.jpg/occupied");
    job["output"] = out.path().string();
    EXPECT_EQ(failureOf([&] { processPdf(job, path, "prepare"); }), "Cannot write image");
}

} // namespace
} // namespace attachments
