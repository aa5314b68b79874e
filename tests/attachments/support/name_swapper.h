#pragma once
// Swaps what two names point to, over and over, on a thread of its own, until it is
// destroyed: a file replaced under a program's feet, as fast as the system allows.

#include <filesystem>
#include <thread>

namespace attachments::testing {

class NameSwapper {
public:
    NameSwapper(std::filesystem::path first, std::filesystem::path second);
    ~NameSwapper() = default; // stops and joins the thread

    NameSwapper(const NameSwapper&) = delete;
    NameSwapper& operator=(const NameSwapper&) = delete;

    // How many times the names have been exchanged so far.
    long swaps() const { return swaps_.load(); }

private:
    std::atomic<long> swaps_{0};
    std::jthread thread_;
};

} // namespace attachments::testing
