#include "attachments/image/mpf_index.h"

#include <cstring>

namespace attachments {
namespace {

constexpr std::uint16_t kNumberOfImages = 0xB001;
constexpr std::uint16_t kMpEntry = 0xB002;
constexpr std::uint16_t kLong = 4;
constexpr std::uint32_t kEntryBytes = 16; // one MP entry of the MPEntry array

// Reads the TIFF structure after "MPF\0" in its own byte order.
class TiffReader {
public:
    explicit TiffReader(std::span<const unsigned char> bytes) : bytes_(bytes) {}

    bool readHeader() {
        if (bytes_.size() < 8) return false;
        if (std::memcmp(bytes_.data(), "MM\0\x2A", 4) == 0) {
            bigEndian_ = true;
        } else if (std::memcmp(bytes_.data(), "II\x2A\0", 4) != 0) {
            return false;
        }
        return true;
    }

    std::optional<std::uint16_t> u16(std::size_t at) const {
        if (at > bytes_.size() || bytes_.size() - at < 2) return std::nullopt;
        const unsigned a = bytes_[at], b = bytes_[at + 1];
        return static_cast<std::uint16_t>(bigEndian_ ? a << 8 | b : b << 8 | a);
    }

    std::optional<std::uint32_t> u32(std::size_t at) const {
        const auto high = u16(at + (bigEndian_ ? 0 : 2));
        const auto low = u16(at + (bigEndian_ ? 2 : 0));
        if (!high || !low) return std::nullopt;
        return std::uint32_t{*high} << 16 | *low;
    }

private:
    std::span<const unsigned char> bytes_;
    bool bigEndian_ = false;
};

} // namespace

std::optional<std::uint32_t> mpfImageCount(std::span<const unsigned char> segment) {
    if (segment.size() < 4 || std::memcmp(segment.data(), "MPF\0", 4) != 0) return std::nullopt;
    TiffReader tiff(segment.subspan(4));
    if (!tiff.readHeader()) return std::nullopt;
    const auto ifd = tiff.u32(4);
    if (!ifd) return std::nullopt;
    const auto count = tiff.u16(*ifd);
    if (!count) return std::nullopt;
    std::optional<std::uint32_t> listed;
    for (std::uint32_t i = 0; i < *count; ++i) {
        const std::size_t entry = std::size_t{*ifd} + 2 + std::size_t{i} * 12;
        const auto tag = tiff.u16(entry), type = tiff.u16(entry + 2);
        const auto values = tiff.u32(entry + 4), value = tiff.u32(entry + 8);
        if (!tag || !type || !values || !value) return std::nullopt;
        // NumberOfImages says it; without it, the MP entries (16 bytes each) count.
        if (*tag == kNumberOfImages && *type == kLong && *values == 1) return *value;
        if (*tag == kMpEntry) listed = *values / kEntryBytes;
    }
    return listed;
}

} // namespace attachments
