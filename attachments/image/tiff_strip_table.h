#pragma once
// Where each strip of a TIFF lies, read from the file's own StripOffsets and StripByteCounts
// a window of entries at a time. libtiff holds both lists whole once it is asked for one
// strip (16 bytes a strip: 80 MB for 40,000,000 rows in strips of 8).

#include "attachments/input_file.h"

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace attachments {

struct StripPlace {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
};

// The layout of the file the table is read from.
struct TiffFileLayout {
    std::uint64_t directoryOffset = 0; // of the directory whose strips are wanted
    bool bigTiff = false;
    bool bigEndian = false;
};

class TiffStripTable {
public:
    // The table of that directory, or nothing when the directory cannot be read or does not
    // list exactly `strips` offsets and byte counts, each of an unsigned integer type.
    static std::optional<TiffStripTable> open(const InputFile& file, const TiffFileLayout& layout,
                                              std::uint64_t strips);

    // Strip `index` (below the count), or nothing when the file cannot be read there.
    // Reading the strips in order reads each list once.
    std::optional<StripPlace> at(std::uint64_t index);

private:
    // One of the two lists: the values inline in the directory entry, or where in the file.
    struct List {
        int width = 0;                      // bytes per value: 2, 4 or 8
        std::uint64_t location = 0;         // file offset of the values, when not inline
        std::vector<unsigned char> inlined; // the values, when the entry holds them
        std::uint64_t first = 0;            // index of the first value in `window`
        std::vector<unsigned char> window;
    };

    TiffStripTable(const InputFile& file, bool bigEndian, List offsets, List lengths)
        : file_(&file), bigEndian_(bigEndian), offsets_(std::move(offsets)),
          lengths_(std::move(lengths)) {}
    std::optional<std::uint64_t> value(List& list, std::uint64_t index);

    const InputFile* file_;
    bool bigEndian_;
    List offsets_;
    List lengths_;
};

} // namespace attachments
