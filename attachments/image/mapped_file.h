#pragma once
// A read-only memory map of a whole file, for codecs that want the bytes in one piece
// (WebP). The pages are the file's own, so mapping costs no heap.

#include <cstddef>
#include <optional>
#include <span>
#include <string>

namespace attachments {

class MappedFile {
public:
    // The file mapped, or nothing when it cannot be opened, is empty or is not a file.
    static std::optional<MappedFile> open(const std::string& path);
    MappedFile(MappedFile&& other) noexcept;
    MappedFile& operator=(MappedFile&&) = delete;
    MappedFile(const MappedFile&) = delete;
    ~MappedFile();

    std::span<const unsigned char> bytes() const { return {data_, size_}; }

private:
    MappedFile(const unsigned char* data, std::size_t size) : data_(data), size_(size) {}
    const unsigned char* data_;
    std::size_t size_;
};

} // namespace attachments
