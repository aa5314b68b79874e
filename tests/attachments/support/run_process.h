#pragma once
// Runs a program as a child process: bytes for its standard input in, what it wrote on
// standard output and standard error and its exit status out.

#include <cstdint>
#include <string>
#include <vector>

namespace attachments::testing {

struct ProcessResult {
    std::string out, err;
    int status = -1; // exit status, or -1 when it did not exit normally
};

// With `addressSpace` not zero, the child may map no more than that many bytes (RLIMIT_AS).
ProcessResult runProcess(const std::string& program, const std::string& input,
                         const std::string& workingDirectory = "", std::uint64_t addressSpace = 0);

} // namespace attachments::testing
