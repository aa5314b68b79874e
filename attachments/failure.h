#pragma once
// The attachment tool's only error value: a fixed message for standard error.

#include <string>

namespace attachments {

struct Failure {
    std::string message;
};

[[noreturn]] inline void fail(std::string message) {
    throw Failure{std::move(message)};
}

} // namespace attachments
