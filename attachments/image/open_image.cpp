#include "attachments/image/format_decoders.h"
#include "attachments/image/image_decoder.h"
#include "attachments/image/image_failures.h"
#include "attachments/image/image_format.h"
#include "attachments/input_file.h"

#include <utility>

namespace attachments {

std::unique_ptr<ImageDecoder> openImage(const std::string& path) {
    // Only plain files are images: a pipe or a device could block for ever or never end.
    std::optional<InputFile> file = InputFile::open(path);
    if (!file) failUnsupported();
    unsigned char head[kSignatureBytes] = {};
    const std::size_t got = file->readAt(0, head, sizeof head).value_or(0);
    const ImageFormat format = detectFormat(std::span<const unsigned char>(head, got));
    std::unique_ptr<ImageDecoder> decoder;
    switch (format) {
    case ImageFormat::Jpeg:
        decoder = openJpeg(std::move(*file));
        break;
    case ImageFormat::Png:
        decoder = openPng(std::move(*file));
        break;
    case ImageFormat::Gif:
        decoder = openGif(std::move(*file));
        break;
    case ImageFormat::Webp:
        decoder = openWebp(std::move(*file));
        break;
    case ImageFormat::Tiff:
        decoder = openTiff(std::move(*file));
        break;
    case ImageFormat::Heif:
        decoder = openHeif(std::move(*file));
        break;
    case ImageFormat::Unknown:
        failUnsupported();
    }
    if (!acceptableSize(decoder->storedSize())) failUnsupported();
    return decoder;
}

} // namespace attachments
