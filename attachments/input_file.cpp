#include "attachments/input_file.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace attachments {

std::optional<InputFile> InputFile::open(const std::string& path) {
    if (path.empty() || path.find('\0') != std::string::npos) return std::nullopt;
    // O_NONBLOCK: a FIFO without a writer would otherwise hold the open for ever.
    // O_NOCTTY: a terminal named as input must not become the controlling one.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return std::nullopt;
    InputFile file(fd, 0);
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0) return std::nullopt;
    file.size_ = static_cast<std::uint64_t>(info.st_size);
    return file;
}

InputFile::InputFile(InputFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), size_(other.size_) {}

InputFile& InputFile::operator=(InputFile&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
        size_ = other.size_;
    }
    return *this;
}

InputFile::~InputFile() {
    if (fd_ >= 0) ::close(fd_);
}

std::optional<std::size_t> InputFile::readAt(std::uint64_t offset, void* buffer,
                                             std::size_t length) const {
    auto* bytes = static_cast<unsigned char*>(buffer);
    std::size_t done = 0;
    while (done < length) {
        if (offset + done > static_cast<std::uint64_t>(INT64_MAX)) break;
        const ssize_t n =
            ::pread(fd_, bytes + done, length - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::nullopt;
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

std::size_t InputCursor::read(void* buffer, std::size_t length) {
    constexpr std::size_t kAhead = 64 * 1024;
    auto* out = static_cast<unsigned char*>(buffer);
    std::size_t done = 0;
    while (done < length) {
        if (position_ >= aheadStart_ && position_ < aheadStart_ + ahead_.size()) {
            const auto at = static_cast<std::size_t>(position_ - aheadStart_);
            const std::size_t n = std::min(length - done, ahead_.size() - at);
            std::copy_n(ahead_.data() + at, n, out + done);
            done += n;
            position_ += n;
            continue;
        }
        if (length - done >= kAhead) {
            const std::size_t got = file_->readAt(position_, out + done, length - done).value_or(0);
            position_ += got;
            return done + got;
        }
        ahead_.resize(kAhead);
        const std::size_t got = file_->readAt(position_, ahead_.data(), kAhead).value_or(0);
        ahead_.resize(got);
        aheadStart_ = position_;
        if (got == 0) break;
    }
    return done;
}

} // namespace attachments
