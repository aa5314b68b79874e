#include "attachments/image/format_decoders.h"
#include "attachments/image/image_decoder.h"
#include "attachments/image/image_failures.h"
#include "attachments/image/image_format.h"

#include <cstdio>
#include <filesystem>

namespace attachments {

std::unique_ptr<ImageDecoder> openImage(const std::string& path) {
    // A pipe or a device could block for ever or never end: only plain files are images.
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) failUnsupported();
    ImageFormat format = ImageFormat::Unknown;
    {
        UniqueFile file(std::fopen(path.c_str(), "rb"));
        if (!file) failUnsupported();
        unsigned char head[kSignatureBytes] = {};
        const std::size_t got = std::fread(head, 1, sizeof head, file.get());
        format = detectFormat(std::span<const unsigned char>(head, got));
    }
    std::unique_ptr<ImageDecoder> decoder;
    switch (format) {
    case ImageFormat::Jpeg:
        decoder = openJpeg(path);
        break;
    case ImageFormat::Png:
        decoder = openPng(path);
        break;
    case ImageFormat::Gif:
        decoder = openGif(path);
        break;
    case ImageFormat::Webp:
        decoder = openWebp(path);
        break;
    case ImageFormat::Tiff:
        decoder = openTiff(path);
        break;
    case ImageFormat::Heif:
        decoder = openHeif(path);
        break;
    case ImageFormat::Unknown:
        failUnsupported();
    }
    if (!acceptableSize(decoder->storedSize())) failUnsupported();
    return decoder;
}

} // namespace attachments
