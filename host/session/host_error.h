#pragma once

#include <string>

namespace host {

// The host's error value: the answer's `error` is its code.
struct HostError {
    std::string code;
};

} // namespace host
