// Deflate and Adobe Deflate strips (a zlib stream each) through zlib's inflate, a run of
// stored bytes at a time; a stream that ends before the rows do, or is damaged, fails.
#include "attachments/image/strip_codec.h"

#include <zlib.h>

#include <climits>

namespace attachments {
namespace {

class DeflateDecoder final : public StripCodec {
public:
    explicit DeflateDecoder(StripInput& input) : input_(input) {
        ready_ = inflateInit(&stream_) == Z_OK;
    }
    DeflateDecoder(const DeflateDecoder&) = delete;
    DeflateDecoder& operator=(const DeflateDecoder&) = delete;
    ~DeflateDecoder() override {
        if (ready_) inflateEnd(&stream_);
    }

    void startStrip() override {
        input_.restart();
        if (ready_) ready_ = inflateReset(&stream_) == Z_OK;
        ended_ = false;
    }

    bool read(unsigned char* out, std::size_t length) override {
        while (length > 0) {
            if (!ready_ || ended_) return false;
            const auto run = input_.peek();
            if (run.empty()) return false;
            const auto in = static_cast<uInt>(std::min<std::size_t>(run.size(), UINT_MAX));
            const auto room = static_cast<uInt>(std::min<std::size_t>(length, UINT_MAX));
            stream_.next_in = const_cast<Bytef*>(run.data());
            stream_.avail_in = in;
            stream_.next_out = out;
            stream_.avail_out = room;
            const int state = inflate(&stream_, Z_NO_FLUSH);
            input_.take(in - stream_.avail_in);
            const std::size_t made = room - stream_.avail_out;
            out += made;
            length -= made;
            if (state == Z_STREAM_END) {
                ended_ = true;
            } else if (state != Z_OK && state != Z_BUF_ERROR) {
                return false;
            }
        }
        return true;
    }

private:
    StripInput& input_;
    z_stream stream_{};
    bool ready_ = false;
    bool ended_ = false;
};

} // namespace

std::unique_ptr<StripCodec> makeDeflateDecoder(StripInput& input) {
    return std::make_unique<DeflateDecoder>(input);
}

} // namespace attachments
