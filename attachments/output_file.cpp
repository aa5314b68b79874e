#include "attachments/output_file.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace attachments {
namespace {

constexpr int kNameAttempts = 100;

// A hidden name beside `name` that no one is likely to have taken: ".name.Xq3…".
class HiddenNames {
public:
    explicit HiddenNames(std::string_view name) : name_(name) {
        std::random_device entropy;
        random_.seed(static_cast<std::uint64_t>(entropy()) << 32 ^ entropy());
    }

    std::string next() {
        static constexpr char alphabet[] =
            "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
        std::string hidden(1, '.');
        hidden.append(name_).push_back('.');
        for (int i = 0; i < 12; ++i)
            hidden.push_back(alphabet[random_() % (sizeof alphabet - 1)]);
        return hidden;
    }

private:
    std::string_view name_;
    std::mt19937_64 random_;
};

// Whether a failed O_TMPFILE open means that the filesystem or kernel lacks it (rather
// than that no file may be created here at all).
bool unnamedUnsupported(int error) {
    return error == EOPNOTSUPP || error == EISDIR || error == EINVAL;
}

} // namespace

std::optional<OutputFile> OutputFile::create(const std::string& target, bool allowUnnamed) {
    // A NUL would silently cut the path short at the system call.
    if (target.empty() || target.find('\0') != std::string::npos) return std::nullopt;
    const std::filesystem::path path(target);
    const std::string name = path.filename().string();
    if (name.empty() || name == "." || name == "..") return std::nullopt;
    std::filesystem::path directory = path.parent_path();
    if (directory.empty()) directory = ".";

    const int dir = ::open(directory.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return std::nullopt;
    if (allowUnnamed) {
        const int fd = ::openat(dir, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0644);
        if (fd >= 0) return OutputFile(dir, fd, name, "");
        if (!unnamedUnsupported(errno)) {
            ::close(dir);
            return std::nullopt;
        }
    }
    HiddenNames names(name);
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        std::string hidden = names.next();
        const int fd = ::openat(dir, hidden.c_str(),
                                O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
        if (fd >= 0) return OutputFile(dir, fd, name, std::move(hidden));
        if (errno != EEXIST) break;
    }
    ::close(dir);
    return std::nullopt;
}

OutputFile::OutputFile(int directory, int fd, std::string name, std::string temporaryName)
    : directory_(directory), fd_(fd), unnamed_(temporaryName.empty()), name_(std::move(name)),
      temporaryName_(std::move(temporaryName)) {}

OutputFile::OutputFile(OutputFile&& other) noexcept
    : directory_(std::exchange(other.directory_, -1)), fd_(std::exchange(other.fd_, -1)),
      unnamed_(other.unnamed_), name_(std::move(other.name_)),
      temporaryName_(std::exchange(other.temporaryName_, {})) {}

OutputFile::~OutputFile() {
    if (fd_ >= 0) ::close(fd_);
    // An unnamed file simply vanishes with its descriptor; a named one is removed.
    if (!temporaryName_.empty()) ::unlinkat(directory_, temporaryName_.c_str(), 0);
    if (directory_ >= 0) ::close(directory_);
}

bool OutputFile::write(const unsigned char* bytes, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd_, bytes, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool OutputFile::commit() {
    if (fd_ < 0 || ::fsync(fd_) != 0) return false;
    if (unnamed_) {
        if (!linkUnnamed()) return false;
        ::close(std::exchange(fd_, -1));
        return true;
    }
    if (::close(std::exchange(fd_, -1)) != 0) return false;
    if (::renameat(directory_, temporaryName_.c_str(), directory_, name_.c_str()) != 0)
        return false;
    temporaryName_.clear();
    return true;
}

// Gives the unnamed file a name: the target's own when it is free, else a hidden one that
// is then renamed over whatever holds the target (a symbolic link itself, not its target).
bool OutputFile::linkUnnamed() {
    char self[32];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd_);
    const auto linkAs = [&](const std::string& name) {
        if (::linkat(AT_FDCWD, self, directory_, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return 0;
        if (errno != ENOENT) return errno;
        // Without /proc: by the descriptor itself, which needs CAP_DAC_READ_SEARCH.
        if (::linkat(fd_, "", directory_, name.c_str(), AT_EMPTY_PATH) == 0) return 0;
        return errno;
    };
    const int direct = linkAs(name_);
    if (direct != EEXIST) return direct == 0;
    HiddenNames names(name_);
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::string hidden = names.next();
        const int linked = linkAs(hidden);
        if (linked == EEXIST) continue;
        if (linked != 0) return false;
        if (::renameat(directory_, hidden.c_str(), directory_, name_.c_str()) == 0) return true;
        ::unlinkat(directory_, hidden.c_str(), 0);
        return false;
    }
    return false;
}

} // namespace attachments
