#pragma once
// A TIFF strip's stored (compressed) bytes, read through the input's descriptor a bounded
// run at a time, so that a strip of any size costs one small buffer.

#include "attachments/input_file.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

namespace attachments {

class StripBytes {
public:
    explicit StripBytes(const InputFile& file) : file_(file) {}

    // Starts on the `length` bytes at `offset`.
    void open(std::uint64_t offset, std::uint64_t length) {
        next_ = offset;
        left_ = length;
    }

    // The next run of the strip's bytes, moving past it: empty at the strip's end or when
    // the file ends early or cannot be read.
    std::span<const unsigned char> next();

private:
    static constexpr std::size_t kRunBytes = 256 * 1024;
    const InputFile& file_;
    std::uint64_t next_ = 0;
    std::uint64_t left_ = 0;
    std::vector<unsigned char> buffer_;
};

// What a decoder of one strip's codec reads from: the runs of StripBytes, a byte or a run
// at a time.
class StripInput {
public:
    explicit StripInput(StripBytes& bytes) : bytes_(bytes) {}

    void restart() { run_ = {}; }

    // The next byte, or false at the strip's end.
    bool byte(unsigned char& value) {
        if (run_.empty() && !refill()) return false;
        value = run_.front();
        run_ = run_.subspan(1);
        return true;
    }

    // The bytes not yet taken (at least one), or an empty run at the strip's end; take()
    // says how many were used.
    std::span<const unsigned char> peek() {
        if (run_.empty()) refill();
        return run_;
    }
    void take(std::size_t n) { run_ = run_.subspan(n); }

    // Copies the next `n` bytes to `out`; false when the strip ends first.
    bool copy(unsigned char* out, std::size_t n) {
        while (n > 0) {
            if (run_.empty() && !refill()) return false;
            const std::size_t k = std::min(n, run_.size());
            std::memcpy(out, run_.data(), k);
            take(k);
            out += k;
            n -= k;
        }
        return true;
    }

private:
    bool refill() {
        run_ = bytes_.next();
        return !run_.empty();
    }
    StripBytes& bytes_;
    std::span<const unsigned char> run_;
};

} // namespace attachments
