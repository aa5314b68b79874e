// Arbitrary bytes as an image file, through the whole image path: inspection, then
// "prepare" into a scratch directory. Only the path's own failures may come out.
#include "attachments/failure.h"
#include "attachments/image/process_image.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

struct Scratch {
    Scratch() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "fuzz-image-XXXXXX").string();
        if (!mkdtemp(pattern.data())) std::abort();
        dir = pattern;
        input = (dir / "input").string();
    }
    ~Scratch() {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
    std::filesystem::path dir;
    std::string input;
};

} // namespace

// libdav1d (under libheif's AV1 decoder) keeps 40 bytes on some broken AVIF inputs; a
// plain libheif program leaks the same, so it is theirs, not the path's.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libdav1d.so\n";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Scratch scratch;
    if (std::FILE* f = std::fopen(scratch.input.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    } else {
        std::abort();
    }
    const common::Json job = {{"output", scratch.dir.string()}};
    for (const char* operation : {"inspect", "prepare"}) {
        try {
            attachments::processImage(job, scratch.input, operation);
        } catch (const attachments::Failure&) {
        }
    }
    return 0;
}
