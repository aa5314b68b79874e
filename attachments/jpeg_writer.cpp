#include "attachments/jpeg_writer.h"

#include "attachments/failure.h"
#include "attachments/output_file.h"
#include "common/unique_handle.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <turbojpeg.h>
#include <utility>

namespace attachments {
namespace {

using TurboHandle = common::Owned<void, tjDestroy>;
using TurboBuffer = common::Owned<unsigned char, tjFree>;

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

// Creates the file beside `path`, fills it with what `bytes` returns (a pointer and a
// size; a null pointer when encoding failed) and puts it in place.
template <typename Bytes> void writeInPlace(const std::string& path, Bytes&& bytes) {
    std::optional<OutputFile> file = OutputFile::create(path);
    if (!file) fail(kCannotPrepareImage);
    const auto [data, size] = bytes();
    if (!data || !file->write(data, size) || !file->commit()) fail(kCannotWriteImage);
}

} // namespace

void writeImage(const RgbView& image, const std::string& path) {
    EncodedJpeg jpeg;
    writeInPlace(path, [&] {
        jpeg = encode(image);
        return std::pair<const unsigned char*, std::size_t>(jpeg.bytes.get(), jpeg.size);
    });
}

void writeJpeg(std::span<const unsigned char> jpeg, const std::string& path) {
    writeInPlace(path, [&] {
        return std::pair<const unsigned char*, std::size_t>(jpeg.empty() ? nullptr : jpeg.data(),
                                                            jpeg.size());
    });
}

} // namespace attachments
