// The PDF path over arbitrary file contents: the bytes are the input file of a job that
// prepares page 1 into a scratch directory. Any outcome but a report or a `Failure`
// (a crash, a leak, another exception) is a finding.

#include "attachments/failure.h"
#include "attachments/pdf/process_pdf.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

// A directory of the fuzzing process's own, for the input file and the page written;
// removed when the process exits.
struct ScratchDir {
    std::filesystem::path path;
    ScratchDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "fuzz-pdf-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) std::abort();
        path = pattern;
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

const std::filesystem::path& scratch() {
    static const ScratchDir dir;
    return dir.path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    const std::string input = (scratch() / "input.pdf").string();
    std::FILE* file = std::fopen(input.c_str(), "wb");
    if (!file) std::abort();
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    common::Json job = {{"output", scratch().string()}, {"pages", {1}}};
    try {
        attachments::processPdf(job, input, "prepare");
    } catch (const attachments::Failure&) {
    }
    std::filesystem::remove(scratch() / "page-1.jpg");
    return 0;
}
