// The brevail program as a client sees it: bytes on standard input; bytes on standard
// output and standard error, and the exit status.

#include "tests/attachments/support/pdf_builder.h"
#include "tests/attachments/support/run_process.h"
#include "tests/support/jpeg_decode.h"
#include "tests/support/scratch_dir.h"

#include <gtest/gtest.h>

namespace attachments {
namespace {

using test_support::ScratchDir;

class Brevail : public ::testing::Test {
protected:
    void SetUp() override { test_support::writeFile(dir / "doc.pdf", testing::makeNumberedPdf(3)); }

    testing::ProcessResult run(const std::string& input) {
        return testing::runProcess(BREVAIL_PROGRAM, input, dir.path().string());
    }

    void expectReport(const std::string& input, const std::string& report) {
        auto result = run(input);
        EXPECT_EQ(result.status, 0) << input;
        EXPECT_EQ(result.out, report) << input;
        EXPECT_EQ(result.err, "") << input;
    }

    void expectFailure(const std::string& input, const std::string& message) {
        auto result = run(input);
        EXPECT_EQ(result.status, 1) << input.substr(0, 80);
        EXPECT_EQ(result.err, message) << input.substr(0, 80);
        EXPECT_EQ(result.out, "") << input.substr(0, 80);
    }

    ScratchDir dir;
};

TEST_F(Brevail, PrintsTheReportAloneWithoutANewline) {
    expectReport(R"({"input":"doc.pdf","operation":"","kind":"pdf"})",
                 R"({"kind":"pdf","pages":3})");
    expectReport(
        R"({"input":"doc.pdf","operation":"prepare","kind":"pdf","output":".","pages":[2]})",
        R"({"items":[{"file":"page-2.jpg","page":2,"text":"Page 2\n\n"}],"kind":"pdf","pages":3})");
    EXPECT_TRUE(test_support::readJpeg(dir / "page-2.jpg"));
}

TEST_F(Brevail, TheJobIsCappedBelow16384Bytes) {
    std::string job = R"({"input":"doc.pdf","operation":"","kind":"pdf"})";
    expectReport(job + std::string(16383 - job.size(), ' '), R"({"kind":"pdf","pages":3})");
    expectFailure(job + std::string(16384 - job.size(), ' '), "Invalid input");
    // A writer with far more to say is read to its end, not cut off.
    expectFailure(std::string(4 << 20, ' '), "Invalid input");
}

TEST_F(Brevail, PrintsTheFixedMessageAloneWithoutANewline) {
    expectFailure("", "File processing failed");
    expectFailure("not json", "File processing failed");
    for (const char* scalar : {"\"doc.pdf\"", "3", "true", "false", "null"})
        expectFailure(scalar, "File processing failed");
    expectFailure("[]", "Invalid input");
    expectFailure(R"({"operation":""})", "Invalid input");
    expectFailure(R"({"input":7,"operation":""})", "Invalid input");
    expectFailure(R"({"input":"doc.pdf","kind":"pdf"})", "Invalid input");
    expectFailure(
        R"({"input":"doc.pdf","operation":"prepare","kind":"pdf","output":".","pages":[]})",
        "Select PDF pages");
}

TEST_F(Brevail, SaysNothingOfTheLibrariesWarnings) {
    // A cross-reference offset that points nowhere: MuPDF repairs the file, and warns.
    std::string pdf = testing::makeNumberedPdf(2);
    pdf.replace(pdf.rfind("startxref\n") + 10, std::string::npos, "9\n%%EOF\n");
    test_support::writeFile(dir / "repaired.pdf", pdf);
    expectReport(R"({"input":"repaired.pdf","operation":"","kind":"pdf"})",
                 R"({"kind":"pdf","pages":2})");
    test_support::writeFile(dir / "garbage.pdf", "%PDF-1.7\n1 0 obj <</Type/Catalog/Pages 9 0 R>>");
    expectFailure(R"({"input":"garbage.pdf","operation":"","kind":"pdf"})",
                  "Unsupported, encrypted or damaged PDF");
}

TEST_F(Brevail, OnlyKindPdfReadsAPdf) {
    for (const char* kind : {R"("PDF")", R"("image")", "1", "null"})
        expectFailure(std::string(R"({"input":"doc.pdf","operation":"","kind":)") + kind + "}",
                      "Unsupported, animated or damaged image");
    expectFailure(R"({"input":"doc.pdf","operation":""})",
                  "Unsupported, animated or damaged image");
}

TEST_F(Brevail, ALaterFailurePrintsOnlyTheMessageAndKeepsEarlierPages) {
    expectFailure(
        R"({"input":"doc.pdf","operation":"prepare","kind":"pdf","output":".","pages":[3,1,9]})",
        "Invalid page");
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"doc.pdf", "page-1.jpg", "page-3.jpg"}));
}

} // namespace
} // namespace attachments
