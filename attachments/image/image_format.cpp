#include "attachments/image/image_format.h"

#include <cstring>
#include <string_view>

namespace attachments {
namespace {

bool startsWith(std::span<const unsigned char> head, std::string_view magic, std::size_t at = 0) {
    return head.size() >= at + magic.size() &&
           std::memcmp(head.data() + at, magic.data(), magic.size()) == 0;
}

} // namespace

ImageFormat detectFormat(std::span<const unsigned char> head) {
    using namespace std::string_view_literals;
    if (startsWith(head, "\xFF\xD8\xFF"sv)) return ImageFormat::Jpeg;
    if (startsWith(head, "\x89PNG\r\n\x1A\n"sv)) return ImageFormat::Png;
    if (startsWith(head, "GIF87a"sv) || startsWith(head, "GIF89a"sv)) return ImageFormat::Gif;
    if (startsWith(head, "RIFF"sv) && startsWith(head, "WEBP"sv, 8)) return ImageFormat::Webp;
    if (startsWith(head, "II*\0"sv) || startsWith(head, "MM\0*"sv) || startsWith(head, "II+\0"sv) ||
        startsWith(head, "MM\0+"sv))
        return ImageFormat::Tiff;
    // ISO base media file: the brand decides, and libheif checks it when it opens.
    if (startsWith(head, "ftyp"sv, 4)) return ImageFormat::Heif;
    return ImageFormat::Unknown;
}

} // namespace attachments
