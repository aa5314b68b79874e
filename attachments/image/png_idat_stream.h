#pragma once
// A PNG's compressed pixels: the consecutive IDAT chunks from the first, read through the
// input's descriptor a bounded run at a time, each chunk's CRC checked at its end, and
// inflated as their bytes come. Every damage fails with "Cannot prepare image". A copy
// reads on from where the original stands, on its own.

#include "attachments/input_file.h"

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace attachments {

class IdatStream {
public:
    // `firstIdat`: where the first IDAT chunk's header starts.
    IdatStream(const InputFile& file, std::uint64_t firstIdat);
    IdatStream(const IdatStream& other);
    IdatStream(IdatStream&&) noexcept = default;
    IdatStream& operator=(IdatStream&&) noexcept = default;
    IdatStream& operator=(const IdatStream&) = delete;
    ~IdatStream() = default;

    // Fills `out` with the next `length` inflated bytes; fails when the stream or the IDAT
    // chunks end first.
    void read(unsigned char* out, std::size_t length);

    // After the last pixel: the rest of the stream up to its checksum, which is checked
    // (data past the pixels is let be, and so is a stream cut short after them, as libspng
    // lets them be), then the rest of the IDAT chunks. Returns where the chunk after the
    // last IDAT starts.
    std::uint64_t finish();

private:
    // The next run of the chunks' bytes; empty once the IDAT chunks end.
    std::span<const unsigned char> nextRun();
    bool openChunk();
    void closeChunk();
    // One inflate step into `out`, refilling the input when it has run dry.
    bool inflateSome(unsigned char* out, std::size_t length);

    // zlib's state points back at its z_stream, which therefore stays where it was made.
    struct EndInflate {
        void operator()(z_stream* stream) const {
            inflateEnd(stream);
            delete stream;
        }
    };

    const InputFile* file_;
    std::uint64_t at_;       // the next byte of the file to read
    std::uint64_t left_ = 0; // bytes of the open chunk's data still to read
    bool chunkOpen_ = false;
    bool chunksEnded_ = false; // the chunk at at_ is not an IDAT
    std::uint32_t crc_ = 0;    // of the open chunk's type and data so far
    std::vector<unsigned char> run_;
    std::unique_ptr<z_stream, EndInflate> stream_;
    bool streamEnded_ = false;
};

} // namespace attachments
