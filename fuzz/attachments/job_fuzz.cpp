// The job driver over arbitrary standard input. The work paths are stand-ins that echo
// parts of the job into the report (so odd strings reach the writer) or fail, and the
// outcome must always be one report or one known message.

#include "attachments/failure.h"
#include "attachments/job.h"
#include "fuzz/max_len.h"

#include <cstdlib>
#include <set>
#include <string>

namespace {

using attachments::fail;
using common::Json;

Json echo(const char* kind, const Json& job, const std::string& input,
          const std::string& operation) {
    if (input.size() % 7 == 3) fail(attachments::kInvalidPage);
    Json report = {{"kind", kind}, {"input", input}, {"operation", operation}};
    if (auto pages = job.find("pages"); pages != job.end()) report["pages"] = *pages;
    if (auto output = job.find("output"); output != job.end()) report["items"] = {*output};
    return report;
}

const attachments::WorkPaths paths{
    [](const Json& job, const std::string& input, const std::string& operation) {
        return echo("image", job, input, operation);
    },
    [](const Json& job, const std::string& input, const std::string& operation) {
        return echo("pdf", job, input, operation);
    }};

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    // Past the job's size limit, so that jobs at it and just over it are tried.
    fuzzing::defaultMaxLen(argc, argv, attachments::maxJobBytes + 4096);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    static const std::set<std::string> messages = {"Invalid input", "File processing failed",
                                                   "Invalid page"};
    std::string_view input(reinterpret_cast<const char*>(data), size);
    attachments::JobOutcome outcome = attachments::runJob(input, paths);
    bool reported = outcome.status == 0 && outcome.err.empty() && !outcome.out.empty() &&
                    outcome.out.back() == '}' && common::parseStrict(outcome.out) &&
                    input.size() < attachments::maxJobBytes;
    bool failed = outcome.status == 1 && outcome.out.empty() && messages.count(outcome.err);
    if (!reported && !failed) std::abort();
    return 0;
}
