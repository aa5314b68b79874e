#pragma once
// The job's input file, opened once. Everything that reads it (the format sniffer, every
// decoder, MuPDF) reads through this one descriptor, so the file that was checked is the
// file that is read, whatever is done to its name meanwhile. Reads are positioned (pread),
// never mapped: a file cut short while it is read gives short reads, not SIGBUS.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace attachments {

class InputFile {
public:
    // The regular file at `path`, or nothing when the path holds a NUL byte (it names no
    // file), cannot be opened, or names anything else. Opening never waits: a FIFO or a
    // device opens at once and is then refused.
    static std::optional<InputFile> open(const std::string& path);

    InputFile(InputFile&& other) noexcept;
    InputFile& operator=(InputFile&& other) noexcept;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    ~InputFile();

    int descriptor() const { return fd_; }

    // The size when the file was opened; it may have changed since.
    std::uint64_t size() const { return size_; }

    // Reads up to `length` bytes at `offset`; fewer only at the end of the file. Returns
    // the number read, or nothing on a read error.
    std::optional<std::size_t> readAt(std::uint64_t offset, void* buffer, std::size_t length) const;

private:
    InputFile(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
    int fd_ = -1;
    std::uint64_t size_ = 0;
};

// A read position in an input file, for libraries that read through callbacks. Small
// reads (giflib asks for a byte or a 255-byte block at a time) are served from a buffer
// read ahead; large ones go straight to the file.
class InputCursor {
public:
    explicit InputCursor(const InputFile& file) : file_(&file) {}

    // Reads up to `length` bytes and moves past them; fewer at the end of the file, and
    // no more after a read error.
    std::size_t read(void* buffer, std::size_t length);

    void seek(std::uint64_t position) { position_ = position; }
    std::uint64_t position() const { return position_; }
    const InputFile& file() const { return *file_; }

private:
    const InputFile* file_;
    std::uint64_t position_ = 0;
    std::vector<unsigned char> ahead_; // file bytes from aheadStart_ on
    std::uint64_t aheadStart_ = 0;
};

} // namespace attachments
