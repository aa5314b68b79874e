#include "host/platform/linux/bundles/file_hasher.h"

#include <algorithm>
#include <atomic>
#include <fcntl.h>
#include <numeric>
#include <sys/stat.h>
#include <system_error>
#include <thread>

#include "host/platform/linux/bundles/unique_fd.h"

namespace host::bundles {
namespace {

// Two workers: the machine's two cores. More would only contend for the same disk cache.
constexpr unsigned kWorkers = 2;
// Below this many bytes in all, starting a second thread costs more than it saves.
constexpr std::uint64_t kBytesWorthAWorker = 1 << 20;

std::optional<Digest> hashRegularFile(const std::string& path, std::vector<unsigned char>& buffer) {
    // O_NONBLOCK: a FIFO planted under a sealed name must not stall the check.
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!fd) return std::nullopt;
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    return sha256Fd(fd.get(), buffer);
}

} // namespace

std::optional<Digest> hashFile(const std::string& path) {
    std::vector<unsigned char> buffer;
    return hashRegularFile(path, buffer);
}

std::vector<std::optional<Digest>> hashFiles(const std::vector<FileToHash>& files) {
    std::vector<std::optional<Digest>> results(files.size());
    // Biggest first, so that the last file to finish is a small one on both workers.
    std::vector<std::size_t> order(files.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return files[a].size > files[b].size; });

    std::atomic<std::size_t> next{0};
    auto work = [&] {
        std::vector<unsigned char> buffer;
        for (std::size_t i = next++; i < order.size(); i = next++) {
            std::size_t index = order[i];
            try {
                results[index] = hashRegularFile(files[index].path, buffer);
            } catch (const std::bad_alloc&) {
                results[index] = std::nullopt;
            }
        }
    };

    std::uint64_t bytes = 0;
    for (const auto& file : files)
        bytes += file.size;
    const unsigned workers = bytes >= kBytesWorthAWorker ? kWorkers : 1;
    std::vector<std::jthread> helpers;
    for (unsigned i = 1; i < workers && files.size() > i; ++i) {
        try {
            helpers.emplace_back(work);
        } catch (const std::system_error&) {
            break; // no thread to spare: the calling thread does it all
        }
    }
    work();
    helpers.clear(); // joins
    return results;
}

} // namespace host::bundles
