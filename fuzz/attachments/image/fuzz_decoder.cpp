// Arbitrary bytes as a file of one image format, through that format's decoder alone
// (FUZZ_OPENER names it: openJpeg, openPng, ...): the header is read as openImage() reads
// it, and an accepted picture is decoded into a sink that holds the decoder to its
// contract. Only the path's own failures may come out.
#include "attachments/failure.h"
#include "attachments/image/format_decoders.h"
#include "attachments/image/image_geometry.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

namespace {

struct Scratch {
    Scratch() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "fuzz-decoder-XXXXXX").string();
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

// One start(), then rows of size.width × 4 readable bytes, never more than size.height,
// whole or (when the format says so) in pieces that cover each band left to right; every
// byte is read, so that a short row is caught.
class CheckingSink : public attachments::RowSink {
public:
    void start(const attachments::RowFormat& format) override {
        if (started_) std::abort();
        started_ = true;
        format_ = format;
        const attachments::Size least = attachments::fitWithin(format.full);
        if (format.size.width < 1 || format.size.height < 1 ||
            format.size.width > format.full.width || format.size.height > format.full.height ||
            format.size.width < least.width || format.size.height < least.height)
            std::abort();
    }
    void row(const unsigned char* pixels) override {
        if (!started_ || format_.inPieces || pixels == nullptr || rows_ >= format_.size.height)
            std::abort();
        ++rows_;
        read(pixels, format_.size.width * 4);
    }
    void piece(int rows, int x, int width, const unsigned char* pixels,
               std::size_t stride) override {
        if (!started_ || !format_.inPieces || pixels == nullptr || rows < 1 ||
            rows > format_.size.height - rows_ || x != column_ || width < 1 ||
            width > format_.size.width - x || stride < static_cast<std::size_t>(width) * 4 ||
            (x > 0 && rows != bandRows_))
            std::abort();
        for (int r = 0; r < rows; ++r)
            read(pixels + static_cast<std::size_t>(r) * stride, width * 4);
        bandRows_ = rows;
        column_ = x + width;
        if (column_ < format_.size.width) return;
        column_ = 0;
        rows_ += rows;
    }
    // After a decode that returned normally: the whole picture came.
    void finished() const {
        if (!started_ || rows_ != format_.size.height || column_ != 0) std::abort();
    }

private:
    void read(const unsigned char* bytes, int count) {
        unsigned sum = 0;
        for (int i = 0; i < count; ++i)
            sum += bytes[i];
        checksum_ += sum;
    }

    attachments::RowFormat format_;
    bool started_ = false;
    int rows_ = 0;
    int column_ = 0;   // where the next piece of a band starts
    int bandRows_ = 0; // the rows of the band being pieced
    unsigned checksum_ = 0;
};

} // namespace

// libdav1d (under libheif's AV1 decoder) keeps 40 bytes on some broken AVIF inputs; a
// plain libheif program leaks the same, so it is theirs, not the decoder's.
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
    try {
        // The file was just written, so it opens; each decoder then reads that descriptor.
        std::optional<attachments::InputFile> file = attachments::InputFile::open(scratch.input);
        if (!file) std::abort();
        auto decoder = attachments::FUZZ_OPENER(std::move(*file));
        if (!decoder) std::abort(); // openers fail by raising, never by returning nothing
        // What openImage() refuses before anything is decoded.
        if (!attachments::acceptableSize(decoder->storedSize())) return 0;
        const int orientation = decoder->orientation();
        if (orientation < 1 || orientation > 8) std::abort();
        CheckingSink sink;
        decoder->decode(sink);
        sink.finished();
    } catch (const attachments::Failure&) {
    }
    return 0;
}
