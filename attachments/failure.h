#pragma once
// The attachment tool's only error value: one of the fixed messages of messages.h, for
// standard error.

#include "attachments/messages.h"

#include <string>
#include <string_view>

namespace attachments {

struct Failure {
    std::string message;
};

[[noreturn]] inline void fail(std::string_view message) {
    throw Failure{std::string(message)};
}

} // namespace attachments
