#pragma once
// The first stage after the decoder: its rows brought to the output size (the source
// fitted within 2000 pixels, never enlarged) by the Lanczos scaler, or passed on as they
// are when they come at that size already.

#include "attachments/image/lanczos_scaler.h"
#include "attachments/image/row_stages.h"

#include <optional>
#include <vector>

namespace attachments {

class ScaleStage final : public RowSink {
public:
    explicit ScaleStage(ScaledRowSink& next) : next_(next) {}

    // Fails with "Cannot prepare image" when the format cannot be the decoder's (started
    // twice, a size of nothing or larger than the picture).
    void start(const RowFormat& format) override;
    void row(const unsigned char* pixels) override;
    void piece(int rows, int x, int width, const unsigned char* pixels,
               std::size_t stride) override;

    // Fails with "Cannot prepare image" unless every output row has come out.
    void finish() const;

private:
    ScaledRowSink& next_;
    RowFormat format_;
    Size target_;
    bool started_ = false;
    bool unscaled_ = false;
    int passedRows_ = 0;              // rows passed on without the scaler
    std::vector<unsigned char> band_; // pieces of unscaled rows, put together
    int bandColumn_ = 0;              // where the next piece of the band starts
    int bandRows_ = 0;
    std::optional<LanczosScaler> scaler_;
};

} // namespace attachments
