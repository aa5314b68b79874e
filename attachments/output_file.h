#pragma once
// A file written beside its final place and put there whole. Where the filesystem allows
// it the file has no name at all until it is finished (O_TMPFILE), so a run killed while
// it writes leaves nothing behind; elsewhere it is written under a fresh hidden name,
// removed on every way out but a kill. Either way a reader never sees half a file, and a
// symbolic link planted under the final name is replaced, never followed.

#include <cstddef>
#include <optional>
#include <string>

namespace attachments {

class OutputFile {
public:
    // A file in the directory of `target` (a path whose last component is the file's
    // name), unnamed unless `allowUnnamed` is false or the filesystem cannot, or nothing
    // when the directory cannot be opened or no file can be created in it.
    static std::optional<OutputFile> create(const std::string& target, bool allowUnnamed = true);

    OutputFile(OutputFile&& other) noexcept;
    OutputFile& operator=(OutputFile&&) = delete;
    OutputFile(const OutputFile&) = delete;
    ~OutputFile();

    // True when the file has no name until it is committed.
    bool unnamed() const { return unnamed_; }

    bool write(const unsigned char* bytes, std::size_t size);

    // Flushes the file to disk and puts it at the target name, replacing whatever is
    // there; false when that fails, and then nothing is left under any new name.
    bool commit();

private:
    OutputFile(int directory, int fd, std::string name, std::string temporaryName);
    bool linkUnnamed();

    int directory_ = -1; // the target's directory, opened once
    int fd_ = -1;
    bool unnamed_ = false;
    std::string name_;          // the target's name in the directory
    std::string temporaryName_; // the named file's name until it is committed
};

} // namespace attachments
