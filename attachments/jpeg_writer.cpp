#include "attachments/jpeg_writer.h"

#include "attachments/failure.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <random>
#include <string_view>
#include <sys/stat.h>
#include <turbojpeg.h>
#include <unistd.h>
#include <utility>

namespace attachments {
namespace {

struct TurboDeleter {
    void operator()(void* handle) const { tjDestroy(handle); }
};
struct TurboBufferDeleter {
    void operator()(unsigned char* buffer) const { tjFree(buffer); }
};
using TurboHandle = std::unique_ptr<void, TurboDeleter>;
using TurboBuffer = std::unique_ptr<unsigned char, TurboBufferDeleter>;

struct EncodedJpeg {
    TurboBuffer bytes;
    unsigned long size = 0;
};

// Encodes the whole picture in memory (a page of 2000 pixels compresses to about a
// megabyte). Returns an empty result on any encoder failure.
EncodedJpeg encode(const RgbView& image) {
    EncodedJpeg result;
    if (!image.pixels || image.width < 1 || image.height < 1 ||
        image.stride < static_cast<std::size_t>(image.width) * 3 ||
        image.stride > static_cast<std::size_t>(INT32_MAX))
        return result;
    TurboHandle handle(tjInitCompress());
    if (!handle) return result;
    unsigned char* bytes = nullptr;
    unsigned long size = 0;
    int status =
        tjCompress2(handle.get(), image.pixels, image.width, static_cast<int>(image.stride),
                    image.height, TJPF_RGB, &bytes, &size, TJSAMP_420, jpegQuality, 0);
    result.bytes.reset(bytes); // the encoder may have allocated even when it failed
    if (status != 0 || size == 0) result.bytes.reset();
    result.size = result.bytes ? size : 0;
    return result;
}

// A file created under a fresh name next to its final place. Until `commit` renames it
// over the target, every way out closes and removes it.
class TemporaryFile {
public:
    // Creates the file exclusively (mode 0644 less the umask); returns false when no
    // name could be created in `directory`.
    bool create(const std::filesystem::path& directory, std::string_view stem) {
        std::random_device entropy;
        std::mt19937_64 random(static_cast<std::uint64_t>(entropy()) << 32 ^ entropy());
        static constexpr char alphabet[] =
            "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string name(1, '.');
            name.append(stem).push_back('.');
            for (int i = 0; i < 12; ++i)
                name.push_back(alphabet[random() % (sizeof alphabet - 1)]);
            std::filesystem::path candidate = directory / name;
            int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                            0644);
            if (fd >= 0) {
                fd_ = fd;
                path_ = std::move(candidate);
                return true;
            }
            if (errno != EEXIST) return false;
        }
        return false;
    }

    bool writeAll(const unsigned char* bytes, std::size_t size) {
        while (size > 0) {
            ssize_t n = ::write(fd_, bytes, size);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            bytes += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    }

    // Flushes to disk, closes and renames over `target`. A symbolic link at `target` is
    // itself replaced, never followed.
    bool commit(const std::filesystem::path& target) {
        if (::fsync(fd_) != 0) return false;
        int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0) return false;
        if (::rename(path_.c_str(), target.c_str()) != 0) return false;
        path_.clear();
        return true;
    }

    ~TemporaryFile() {
        if (fd_ >= 0) ::close(fd_);
        if (!path_.empty()) ::unlink(path_.c_str());
    }

    TemporaryFile() = default;
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

private:
    int fd_ = -1;
    std::filesystem::path path_;
};

// Creates the temporary file beside `path`, fills it with what `bytes` returns (a pointer
// and a size; a null pointer when encoding failed) and renames it over `path`.
template <typename Bytes> void writeThroughTemporary(const std::string& path, Bytes&& bytes) {
    // A NUL would silently cut the path short at the system call.
    if (path.empty() || path.find('\0') != std::string::npos) fail(kCannotPrepareImage);
    std::filesystem::path target(path);
    std::filesystem::path directory = target.parent_path();
    if (directory.empty()) directory = ".";
    std::string stem = target.filename().string();
    if (stem.empty()) fail(kCannotPrepareImage);

    TemporaryFile file;
    if (!file.create(directory, stem)) fail(kCannotPrepareImage);
    const auto [data, size] = bytes();
    if (!data) fail(kCannotWriteImage);
    if (!file.writeAll(data, size)) fail(kCannotWriteImage);
    if (!file.commit(target)) fail(kCannotWriteImage);
}

} // namespace

void writeImage(const RgbView& image, const std::string& path) {
    EncodedJpeg jpeg;
    writeThroughTemporary(path, [&] {
        jpeg = encode(image);
        return std::pair<const unsigned char*, std::size_t>(jpeg.bytes.get(), jpeg.size);
    });
}

void writeJpeg(std::span<const unsigned char> jpeg, const std::string& path) {
    writeThroughTemporary(path, [&] {
        return std::pair<const unsigned char*, std::size_t>(jpeg.empty() ? nullptr : jpeg.data(),
                                                            jpeg.size());
    });
}

} // namespace attachments
