// PackBits as libtiff decodes it a scanline at a time: a run that would pass the row's end
// is cut there (a repeat loses the rest of its count; a literal stops, and its remaining
// bytes are read as the next row's codes), and a run the data cannot finish fails.
#include "attachments/image/strip_codec.h"

#include <algorithm>
#include <cstring>

namespace attachments {
namespace {

class PackBitsDecoder final : public StripCodec {
public:
    explicit PackBitsDecoder(StripInput& input) : input_(input) {}

    void startStrip() override {
        input_.restart();
        pending_ = 0;
    }

    void startRow(std::size_t bytes) override {
        rowLeft_ = bytes;
        pending_ = 0;
    }

    bool read(unsigned char* out, std::size_t length) override {
        while (length > 0) {
            if (pending_ == 0 && !startRun()) return false;
            const std::size_t n = std::min(length, pending_);
            if (repeat_) {
                std::memset(out, value_, n);
            } else if (!input_.copy(out, n)) {
                return false;
            }
            out += n;
            length -= n;
            pending_ -= n;
        }
        return true;
    }

private:
    bool startRun() {
        for (;;) {
            unsigned char code = 0;
            if (!input_.byte(code)) return false;
            const int n = static_cast<signed char>(code);
            if (n == -128) continue; // no operation
            repeat_ = n < 0;
            pending_ = std::min<std::size_t>(repeat_ ? 1 - n : n + 1, rowLeft_);
            rowLeft_ -= pending_;
            return !repeat_ || input_.byte(value_);
        }
    }

    StripInput& input_;
    std::size_t rowLeft_ = 0; // bytes of the row that no run has claimed yet
    std::size_t pending_ = 0; // bytes of the current run still to come
    bool repeat_ = false;
    unsigned char value_ = 0;
};

} // namespace

std::unique_ptr<StripCodec> makePackBitsDecoder(StripInput& input) {
    return std::make_unique<PackBitsDecoder>(input);
}

} // namespace attachments
