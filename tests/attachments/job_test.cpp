#include "attachments/failure.h"
#include "attachments/job.h"

#include <gtest/gtest.h>
#include <new>
#include <string>

namespace attachments {
namespace {

using common::Json;

// Work paths that record how they were called and answer what the job's "answer" says.
struct Call {
    std::string path, input, operation;
    Json job;
};
Call lastCall;

Json answer(const char* path, const Json& job, const std::string& input,
            const std::string& operation) {
    lastCall = {path, input, operation, job};
    std::string what = job.value("answer", "");
    if (what == "failure") fail("Invalid page");
    if (what == "bad_alloc") throw std::bad_alloc();
    if (what == "other") throw 42;
    return {{"kind", path}, {"z", {{"b", 1}, {"a", "é/\n"}}}, {"items", Json::array()}};
}
const WorkPaths paths{[](const Json& job, const std::string& input, const std::string& operation) {
                          return answer("image", job, input, operation);
                      },
                      [](const Json& job, const std::string& input, const std::string& operation) {
                          return answer("pdf", job, input, operation);
                      }};

JobOutcome run(std::string_view input) {
    lastCall = {};
    return runJob(input, paths);
}

void expectFailure(std::string_view input, const std::string& message) {
    JobOutcome outcome = run(input);
    EXPECT_EQ(outcome.status, 1) << input;
    EXPECT_EQ(outcome.err, message) << input;
    EXPECT_EQ(outcome.out, "") << input;
}

TEST(Job, ReportsCompactlyWithSortedKeysAndNothingElse) {
    JobOutcome outcome = run(R"({"operation":"prepare","input":"a.png"})");
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.out, "{\"items\":[],\"kind\":\"image\",\"z\":{\"a\":\"é/\\n\",\"b\":1}}");
    EXPECT_EQ(outcome.err, "");
    EXPECT_EQ(lastCall.input, "a.png");
    EXPECT_EQ(lastCall.operation, "prepare");
}

TEST(Job, RefusesJobsOf16384BytesOrMoreUnread) {
    std::string job = R"({"input":"a.png","operation":""})";
    EXPECT_EQ(run(job + std::string(16383 - job.size(), ' ')).status, 0);
    expectFailure(job + std::string(16384 - job.size(), ' '), "Invalid input");
    expectFailure(std::string(20000, '{'), "Invalid input"); // not even read as JSON
    EXPECT_EQ(lastCall.path, "");
}

TEST(Job, TextThatIsNotAJsonObjectOrArrayIsAProcessingFailure) {
    for (const char* text : {"", " ", "{", "{}{}", "\"text\"", "12", "true", "false", "null",
                             "{\"input\":\"a\",\"operation\":\"\"} x"})
        expectFailure(text, "File processing failed");
}

TEST(Job, NeedsAnObjectWithStringInputAndOperation) {
    const char* jobs[] = {"[]",
                          R"([{"input":"a","operation":""}])",
                          "{}",
                          R"({"operation":"prepare"})",
                          R"({"input":"a"})",
                          R"({"input":1,"operation":"prepare"})",
                          R"({"input":null,"operation":"prepare"})",
                          R"({"input":"a","operation":["prepare"]})",
                          R"({"Input":"a","operation":"prepare"})"};
    for (const char* job : jobs)
        expectFailure(job, "Invalid input");
    EXPECT_EQ(lastCall.path, "");
}

TEST(Job, OnlyTheExactKindPdfTakesThePdfPath) {
    struct Row {
        const char* kind;
        const char* path;
    } rows[] = {{R"("pdf")", "pdf"},     {R"("PDF")", "image"},  {R"("pdf ")", "image"},
                {R"("image")", "image"}, {R"("")", "image"},     {"1", "image"},
                {"null", "image"},       {R"(["pdf"])", "image"}};
    for (const Row& row : rows) {
        std::string job = std::string(R"({"input":"f","operation":"","kind":)") + row.kind + "}";
        EXPECT_EQ(run(job).status, 0) << job;
        EXPECT_EQ(lastCall.path, row.path) << job;
    }
    EXPECT_EQ(run(R"({"input":"f","operation":""})").status, 0);
    EXPECT_EQ(lastCall.path, "image");
}

TEST(Job, HandsTheWholeJobToThePath) {
    run(R"({"input":"in.pdf","operation":"prepare","kind":"pdf","output":"o","pages":[3,1]})");
    EXPECT_EQ(lastCall.job["pages"], Json({3, 1}));
    EXPECT_EQ(lastCall.job["output"], "o");
}

TEST(Job, FailuresOfThePathBecomeTheirMessageAndAnythingElseAProcessingFailure) {
    expectFailure(R"({"input":"f","operation":"","answer":"failure"})", "Invalid page");
    expectFailure(R"({"input":"f","operation":"","answer":"bad_alloc"})", "File processing failed");
    expectFailure(R"({"input":"f","operation":"","answer":"other","kind":"pdf"})",
                  "File processing failed");
}

} // namespace
} // namespace attachments
