#include "attachments/image/tiff_strip_table.h"

#include <tiff.h>

#include <limits>

namespace attachments {
namespace {

constexpr std::uint64_t kWindowValues = 8192;      // values read at once from each list
constexpr std::uint64_t kLargestDirectory = 65535; // entries; libtiff reads no more either

std::uint64_t number(const unsigned char* bytes, int width, bool bigEndian) {
    std::uint64_t value = 0;
    for (int i = 0; i < width; ++i) {
        const unsigned char byte = bytes[bigEndian ? i : width - 1 - i];
        value = (value << 8) | byte;
    }
    return value;
}

int widthOf(std::uint16_t type) {
    switch (type) {
    case TIFF_SHORT:
        return 2;
    case TIFF_LONG:
        return 4;
    case TIFF_LONG8:
        return 8;
    default:
        return 0;
    }
}

} // namespace

std::optional<TiffStripTable>
TiffStripTable::open(const InputFile& file, const TiffFileLayout& layout, std::uint64_t strips) {
    const bool big = layout.bigEndian;
    const int countBytes = layout.bigTiff ? 8 : 2;
    const std::size_t entryBytes = layout.bigTiff ? 20 : 12;
    const int fieldBytes = layout.bigTiff ? 8 : 4; // the entry's count and value fields
    unsigned char head[8] = {};
    if (file.readAt(layout.directoryOffset, head, countBytes) != std::size_t(countBytes))
        return std::nullopt;
    const std::uint64_t entries = number(head, countBytes, big);
    if (entries == 0 || entries > kLargestDirectory) return std::nullopt;
    std::vector<unsigned char> directory(entries * entryBytes);
    if (file.readAt(layout.directoryOffset + countBytes, directory.data(), directory.size()) !=
        directory.size())
        return std::nullopt;

    std::optional<List> offsets, lengths;
    for (std::uint64_t e = 0; e < entries; ++e) {
        const unsigned char* entry = directory.data() + e * entryBytes;
        const auto tag = static_cast<std::uint16_t>(number(entry, 2, big));
        if (tag != TIFFTAG_STRIPOFFSETS && tag != TIFFTAG_STRIPBYTECOUNTS) continue;
        const int width = widthOf(static_cast<std::uint16_t>(number(entry + 2, 2, big)));
        const std::uint64_t count = number(entry + 4, fieldBytes, big);
        if (width == 0 || count != strips) return std::nullopt;
        List list;
        list.width = width;
        const unsigned char* field = entry + 4 + fieldBytes;
        if (count * width <= std::uint64_t(fieldBytes))
            list.inlined.assign(field, field + count * width);
        else
            list.location = number(field, fieldBytes, big);
        auto& slot = tag == TIFFTAG_STRIPOFFSETS ? offsets : lengths;
        if (slot) return std::nullopt; // listed twice
        slot = std::move(list);
    }
    if (!offsets || !lengths) return std::nullopt;
    return TiffStripTable(file, big, std::move(*offsets), std::move(*lengths));
}

std::optional<std::uint64_t> TiffStripTable::value(List& list, std::uint64_t index) {
    const auto width = static_cast<std::uint64_t>(list.width);
    if (!list.inlined.empty())
        return number(list.inlined.data() + index * width, list.width, bigEndian_);
    if (index < list.first || index >= list.first + list.window.size() / width) {
        // Values past the end of the file are not there: the window stops short of them.
        if (index > (std::numeric_limits<std::uint64_t>::max() - list.location) / width)
            return std::nullopt;
        list.first = index;
        list.window.resize(kWindowValues * width);
        const auto got =
            file_->readAt(list.location + index * width, list.window.data(), list.window.size());
        list.window.resize(got.value_or(0) / width * width);
        if (list.window.empty()) return std::nullopt;
    }
    return number(list.window.data() + (index - list.first) * width, list.width, bigEndian_);
}

std::optional<StripPlace> TiffStripTable::at(std::uint64_t index) {
    const auto offset = value(offsets_, index);
    const auto length = value(lengths_, index);
    if (!offset || !length) return std::nullopt;
    return StripPlace{*offset, *length};
}

} // namespace attachments
