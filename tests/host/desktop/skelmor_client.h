#pragma once
// The real skelmor as a child process, spoken to through its pipes one request at a time.

#include "child_process.h"
#include "common/json.h"

#include <map>
#include <string>

namespace desktop_test {

class SkelmorClient {
public:
    explicit SkelmorClient(const std::string& program) : process_({program}) {}

    // Sends one request and waits for the answer with its id (answers to other ids that
    // arrive meanwhile are kept for their own callers). Nothing when none came in time.
    std::optional<common::Json> call(const std::string& method, const common::Json& params,
                                     std::chrono::milliseconds limit = 10s);
    // Sends without waiting; returns the id to collect with `answer`.
    std::string send(const std::string& method, const common::Json& params);
    std::optional<common::Json> answer(const std::string& id,
                                       std::chrono::milliseconds limit = 10s);

    ChildProcess& process() { return process_; }

private:
    ChildProcess process_;
    int next_ = 1;
    std::map<std::string, common::Json> early_;
};

// The error code of an answer, or "" when it carries a result.
std::string errorOf(const std::optional<common::Json>& answer);
// The result of an answer, or null.
common::Json resultOf(const std::optional<common::Json>& answer);

} // namespace desktop_test
