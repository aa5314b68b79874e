#include "attachments/image/exif_orientation.h"

#include "common/unique_handle.h"

#include <libexif/exif-data.h>

#include <cstring>
#include <vector>

namespace attachments {
namespace {

constexpr unsigned char kExifHeader[6] = {'E', 'x', 'i', 'f', 0, 0};

} // namespace

int exifOrientation(std::span<const unsigned char> exif) {
    // libexif wants the "Exif\0\0" header in front of the TIFF structure.
    std::vector<unsigned char> block;
    if (exif.size() < sizeof kExifHeader || std::memcmp(exif.data(), kExifHeader, 6) != 0)
        block.assign(kExifHeader, kExifHeader + sizeof kExifHeader);
    block.insert(block.end(), exif.begin(), exif.end());
    if (block.size() > 0xFFFFFFFFu) return 1;

    common::Owned<ExifData, exif_data_unref> data(exif_data_new());
    if (!data) return 1;
    // Only the orientation is wanted: skip maker notes and leave the data as found.
    exif_data_unset_option(data.get(), EXIF_DATA_OPTION_FOLLOW_SPECIFICATION);
    exif_data_set_option(data.get(), EXIF_DATA_OPTION_DONT_CHANGE_MAKER_NOTE);
    exif_data_load_data(data.get(), block.data(), static_cast<unsigned int>(block.size()));
    ExifEntry* entry = exif_content_get_entry(data->ifd[EXIF_IFD_0], EXIF_TAG_ORIENTATION);
    if (!entry || entry->format != EXIF_FORMAT_SHORT || entry->components < 1 || !entry->data ||
        entry->size < 2)
        return 1;
    const int value = exif_get_short(entry->data, exif_data_get_byte_order(data.get()));
    return value >= 1 && value <= 8 ? value : 1;
}

} // namespace attachments
