#include "attachments/image/png_idat_stream.h"

#include "attachments/image/image_failures.h"
#include "attachments/image/png_frames.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace attachments {
namespace {

constexpr std::size_t kRunBytes = 256 * 1024;
// Inflated bytes past the last pixel that are still read to reach the stream's checksum;
// a stream that goes on longer (a crafted one can go on for gigabytes) is let be there.
constexpr std::size_t kMostBytesPastPixels = 1 << 20;

} // namespace

IdatStream::IdatStream(const InputFile& file, std::uint64_t firstIdat)
    : file_(&file), at_(firstIdat), run_(kRunBytes) {
    auto stream = std::make_unique<z_stream>();
    if (inflateInit(stream.get()) != Z_OK) failCannotPrepare();
    stream_.reset(stream.release());
}

IdatStream::IdatStream(const IdatStream& other)
    : file_(other.file_), at_(other.at_), left_(other.left_), chunkOpen_(other.chunkOpen_),
      chunksEnded_(other.chunksEnded_), crc_(other.crc_), run_(other.run_),
      streamEnded_(other.streamEnded_) {
    auto stream = std::make_unique<z_stream>();
    if (inflateCopy(stream.get(), other.stream_.get()) != Z_OK) failCannotPrepare();
    stream_.reset(stream.release());
    // The input not yet inflated is in this copy's own run.
    if (other.stream_->next_in)
        stream_->next_in = run_.data() + (other.stream_->next_in - other.run_.data());
}

bool IdatStream::openChunk() {
    unsigned char header[8];
    if (file_->readAt(at_, header, 8) != 8u) failCannotPrepare();
    if (std::memcmp(header + 4, "IDAT", 4) != 0) return false;
    const std::uint32_t length = pngUint32(header);
    if (length > kMaxPngChunkLength) failCannotPrepare();
    crc_ = static_cast<std::uint32_t>(crc32(0, header + 4, 4));
    left_ = length;
    at_ += 8;
    chunkOpen_ = true;
    return true;
}

void IdatStream::closeChunk() {
    unsigned char stored[4];
    if (file_->readAt(at_, stored, 4) != 4u || pngUint32(stored) != crc_) failCannotPrepare();
    at_ += 4;
    chunkOpen_ = false;
}

std::span<const unsigned char> IdatStream::nextRun() {
    while (left_ == 0) {
        if (chunksEnded_) return {};
        if (chunkOpen_) closeChunk();
        if (!openChunk()) {
            chunksEnded_ = true;
            return {};
        }
    }
    const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(left_, kRunBytes));
    if (file_->readAt(at_, run_.data(), want) != want) failCannotPrepare();
    crc_ = static_cast<std::uint32_t>(crc32(crc_, run_.data(), static_cast<uInt>(want)));
    at_ += want;
    left_ -= want;
    return {run_.data(), want};
}

bool IdatStream::inflateSome(unsigned char* out, std::size_t length) {
    if (stream_->avail_in == 0) {
        const auto run = nextRun();
        if (run.empty()) return false;
        stream_->next_in = const_cast<Bytef*>(run.data());
        stream_->avail_in = static_cast<uInt>(run.size());
    }
    stream_->next_out = out;
    stream_->avail_out = static_cast<uInt>(std::min<std::size_t>(length, UINT_MAX));
    const int state = inflate(stream_.get(), Z_NO_FLUSH);
    if (state == Z_STREAM_END) {
        streamEnded_ = true;
    } else if (state != Z_OK) {
        failCannotPrepare(); // damaged data or checksum (no progress with input left is too)
    }
    return true;
}

void IdatStream::read(unsigned char* out, std::size_t length) {
    while (length > 0) {
        if (streamEnded_) failCannotPrepare(); // fewer pixels than the header says
        const std::size_t room = std::min<std::size_t>(length, UINT_MAX);
        if (!inflateSome(out, room)) failCannotPrepare();
        const std::size_t made = room - stream_->avail_out;
        out += made;
        length -= made;
    }
}

std::uint64_t IdatStream::finish() {
    unsigned char spare[4096];
    for (std::size_t past = 0; !streamEnded_ && past < kMostBytesPastPixels;
         past += sizeof spare - stream_->avail_out)
        if (!inflateSome(spare, sizeof spare)) break;
    while (!nextRun().empty()) {
    }
    return at_;
}

} // namespace attachments
