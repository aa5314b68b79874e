#include "tests/attachments/support/name_swapper.h"

#include <cstdio>
#include <fcntl.h>
#include <stdexcept>

namespace attachments::testing {

NameSwapper::NameSwapper(std::filesystem::path first, std::filesystem::path second) {
    // One exchange first, so that a filesystem without atomic exchange fails the test here.
    if (::renameat2(AT_FDCWD, first.c_str(), AT_FDCWD, second.c_str(), RENAME_EXCHANGE) != 0)
        throw std::runtime_error("renameat2(RENAME_EXCHANGE) failed");
    thread_ = std::jthread(
        [this, first = std::move(first), second = std::move(second)](std::stop_token stop) {
            while (!stop.stop_requested()) {
                ::renameat2(AT_FDCWD, first.c_str(), AT_FDCWD, second.c_str(), RENAME_EXCHANGE);
                swaps_.fetch_add(1);
            }
        });
}

} // namespace attachments::testing
