#pragma once
// Answers: the line written for one request, and where it goes.

#include "host/base/outcome.h"

#include <optional>
#include <string>
#include <string_view>

namespace host {

// The answer line for a request's `id` and its method's outcome: compact JSON, keys sorted
// at every depth, one line feed at the end. Nothing when the answer cannot be serialised,
// a NaN or an infinite number anywhere in the result included: that request goes
// unanswered rather than answered with something the method did not say.
std::optional<std::string> answerLine(const std::string& id, const Outcome& outcome);

// Receives complete answer lines, one call per answer, on the main thread.
class AnswerSink {
public:
    virtual ~AnswerSink() = default;
    virtual void write(std::string_view line) = 0;
};

// Writes each answer to a file descriptor with one write(2), continuing after a partial
// write or an interruption. A reader that has gone away (EPIPE, with SIGPIPE ignored) or
// any other write error loses the answer; the host keeps serving until end of input.
class FdAnswerSink : public AnswerSink {
public:
    explicit FdAnswerSink(int fd) : fd_(fd) {}
    void write(std::string_view line) override;

private:
    int fd_;
};

} // namespace host
