#pragma once
// The job driver: one job's standard input in, what the process prints and its exit
// status out. It does no I/O itself, so tests and fuzzers run it in-process.

#include "common/json.h"

#include <string>
#include <string_view>

namespace attachments {

// A work path: the decoded job, the input path and the operation; it returns the report
// or raises a `Failure`.
using WorkPath = common::Json (*)(const common::Json& job, const std::string& input,
                                  const std::string& operation);

struct WorkPaths {
    WorkPath image;
    WorkPath pdf;
};

struct JobOutcome {
    std::string out; // the report: compact, sorted keys, no trailing newline
    std::string err; // the failure message, no trailing newline
    int status = 0;  // 0 with a report, 1 with a message
};

// Jobs of this many bytes or more are refused unread.
constexpr std::size_t maxJobBytes = 16384;

JobOutcome runJob(std::string_view input, const WorkPaths& paths);

} // namespace attachments
