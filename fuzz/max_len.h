#pragma once
// The longest input a fuzzer tries, set from the limit the code under test enforces, so
// that inputs at the limit and past it are tried (libFuzzer's own default stops at 4096
// bytes, or at the longest seed). Called from LLVMFuzzerInitialize, before libFuzzer reads
// its flags: a -max_len given on the command line still wins.

#include <cstddef>
#include <string>
#include <vector>

namespace fuzzing {

inline void defaultMaxLen(int* argc, char*** argv, std::size_t bytes) {
    static std::string flag;
    static std::vector<char*> args;
    flag = "-max_len=" + std::to_string(bytes);
    args.assign(*argv, *argv + *argc);
    args.insert(args.begin() + 1, flag.data()); // after the program's name, before the rest
    args.push_back(nullptr);
    *argc = static_cast<int>(args.size()) - 1;
    *argv = args.data();
}

} // namespace fuzzing
