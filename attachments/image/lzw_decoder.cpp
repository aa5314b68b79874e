// TIFF's LZW (codes read most significant bit first, the code width growing one code early)
// as libtiff decodes it: the strip is one stream of bytes across its rows, a string that
// passes a row's end goes on in the next, and a code not yet in the table, a strip that
// ends without its end code or a table that overflows fails.
#include "attachments/image/strip_codec.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace attachments {
namespace {

constexpr unsigned kClear = 256;
constexpr unsigned kEnd = 257;
constexpr unsigned kFirstFree = 258;
constexpr int kMinBits = 9;
constexpr int kMaxBits = 12;
// libtiff allows 1024 codes past a full 12-bit table for encoders that clear late.
constexpr unsigned kTableSize = (1U << kMaxBits) - 1 + 1024;

struct Entry {
    std::uint16_t previous = 0; // the code of the string without its last byte
    std::uint16_t length = 0;   // 0: not in the table
    unsigned char first = 0;
    unsigned char last = 0;
};

class LzwDecoder final : public StripCodec {
public:
    explicit LzwDecoder(StripInput& input) : input_(input) {
        for (unsigned c = 0; c < 256; ++c)
            table_[c] = {0, 1, static_cast<unsigned char>(c), static_cast<unsigned char>(c)};
    }

    void startStrip() override {
        input_.restart();
        bits_ = 0;
        bitCount_ = 0;
        failed_ = ended_ = false;
        pendingStart_ = pendingEnd_ = 0;
        resetTable();
        // libtiff begins as though the strip followed the single byte 0.
        previous_ = 0;
    }

    bool read(unsigned char* out, std::size_t length) override {
        // First what is left of a string that passed the end of the last read.
        const std::size_t rest = std::min(length, pendingEnd_ - pendingStart_);
        std::memcpy(out, pending_.data() + pendingStart_, rest);
        pendingStart_ += rest;
        out += rest;
        length -= rest;
        if (length == 0) return true;
        if (failed_ || ended_) return false;
        // The state is held in locals while decoding: the output's bytes could alias the
        // members, which would otherwise be stored and loaded for every byte.
        Entry* const table = table_.data();
        std::uint64_t bits = bits_;
        int bitCount = bitCount_;
        int width = width_;
        unsigned free = free_;
        unsigned previous = previous_;
        bool exhausted = exhausted_;
        auto run = input_.peek();
        const unsigned char* in = run.data();
        const unsigned char* inEnd = in + run.size();
        const auto nextCode = [&](unsigned& code) {
            while (bitCount < width) {
                if (in == inEnd) {
                    input_.take(run.size());
                    run = input_.peek();
                    in = run.data();
                    inEnd = in + run.size();
                    if (in == inEnd) return false; // the strip ends without its end code
                }
                for (; bitCount <= 56 && in != inEnd; ++in) {
                    bits = (bits << 8) | *in;
                    bitCount += 8;
                }
            }
            bitCount -= width;
            code = static_cast<unsigned>(bits >> bitCount) & ((1U << width) - 1);
            return true;
        };
        bool ok = true;
        while (length > 0) {
            unsigned code = 0;
            if (!nextCode(code)) {
                ok = fail();
                break;
            }
            if (code == kEnd) {
                ok = end();
                break;
            }
            if (code == kClear) {
                free = kFirstFree;
                width = kMinBits;
                exhausted = false;
                do {
                    if (!nextCode(code)) break;
                } while (code == kClear);
                if (code == kClear || code > kEnd) {
                    ok = fail();
                    break;
                }
                if (code == kEnd) {
                    ok = end();
                    break;
                }
            } else {
                if (exhausted || code > free) {
                    ok = fail();
                    break;
                }
                // The new entry is the previous string and the first byte of this one (of
                // the previous string itself when this code is the entry being made).
                const Entry before = table[previous];
                table[free] = {static_cast<std::uint16_t>(previous),
                               static_cast<std::uint16_t>(before.length + 1), before.first,
                               code == free ? before.first : table[code].first};
                if (++free > (1U << width) - 2) {
                    width = std::min(width + 1, kMaxBits);
                    if (free >= kTableSize) exhausted = true; // only clear or end may follow
                }
            }
            previous = code;
            const std::size_t n = table[code].length;
            if (n <= length) {
                writeString(table, code, out, n);
                out += n;
                length -= n;
            } else {
                writeString(table, code, pending_.data(), n);
                std::memcpy(out, pending_.data(), length);
                pendingStart_ = length;
                pendingEnd_ = n;
                length = 0;
            }
        }
        input_.take(static_cast<std::size_t>(in - run.data()));
        bits_ = bits;
        bitCount_ = bitCount;
        width_ = width;
        free_ = free;
        previous_ = previous;
        exhausted_ = exhausted;
        return ok;
    }

private:
    void resetTable() {
        free_ = kFirstFree;
        width_ = kMinBits;
        exhausted_ = false;
    }

    // Writes the `length` bytes of the string of `code` at `out`, first byte first.
    static void writeString(const Entry* table, unsigned code, unsigned char* out,
                            std::size_t length) {
        for (std::size_t i = length; i > 0; --i) {
            const Entry& entry = table[code];
            out[i - 1] = entry.last;
            code = entry.previous;
        }
    }

    bool fail() {
        failed_ = true;
        return false;
    }
    bool end() {
        ended_ = true;
        return false;
    }

    StripInput& input_;
    std::array<Entry, kTableSize> table_{};
    std::array<unsigned char, kTableSize + 1> pending_{}; // no string is longer than the table
    std::size_t pendingStart_ = 0;
    std::size_t pendingEnd_ = 0;
    std::uint64_t bits_ = 0;
    int bitCount_ = 0;
    int width_ = kMinBits;
    unsigned free_ = kFirstFree;
    unsigned previous_ = 0;
    bool exhausted_ = false;
    bool failed_ = false;
    bool ended_ = false;
};

} // namespace

std::unique_ptr<StripCodec> makeLzwDecoder(StripInput& input) {
    return std::make_unique<LzwDecoder>(input);
}

} // namespace attachments
