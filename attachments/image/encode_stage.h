#pragma once
// The last stage: upright rows encoded as a JPEG in memory as they come.

#include "attachments/image/jpeg_row_encoder.h"
#include "attachments/image/row_stages.h"

#include <memory>
#include <vector>

namespace attachments {

class EncodeStage final : public UprightRowSink {
public:
    void start(Size size) override {
        encoder_ = std::make_unique<JpegRowEncoder>(size.width, size.height);
    }
    void row(const unsigned char* rgb) override { encoder_->row(rgb); }

    // The file's bytes; none when no row came this way. Fails as JpegRowEncoder::finish().
    std::vector<unsigned char> finish() {
        return encoder_ ? encoder_->finish() : std::vector<unsigned char>{};
    }

private:
    std::unique_ptr<JpegRowEncoder> encoder_;
};

} // namespace attachments
