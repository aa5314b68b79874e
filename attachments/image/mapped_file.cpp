#include "attachments/image/mapped_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace attachments {

std::optional<MappedFile> MappedFile::open(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    struct stat info {};
    void* data = MAP_FAILED;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0)
        data =
            ::mmap(nullptr, static_cast<std::size_t>(info.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    ::close(fd); // the mapping keeps the file
    if (data == MAP_FAILED) return std::nullopt;
    return MappedFile(static_cast<const unsigned char*>(data),
                      static_cast<std::size_t>(info.st_size));
}

MappedFile::MappedFile(MappedFile&& other) noexcept : data_(other.data_), size_(other.size_) {
    other.data_ = nullptr;
    other.size_ = 0;
}

MappedFile::~MappedFile() {
    if (data_) ::munmap(const_cast<unsigned char*>(data_), size_);
}

} // namespace attachments
