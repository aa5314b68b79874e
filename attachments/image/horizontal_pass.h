#pragma once
// Rows resampled along their length, given whole or in pieces. While the windows of a row
// fit a small table (rows up to a few hundred thousand pixels) they are worked out once
// and a whole row is summed four outputs at a time; longer rows have their windows worked
// out as the row is swept and read their pixels where they lie, so the memory does not
// follow the row's length. Either way every output is the sum of its taps in order, to
// the same bits.

#include "attachments/image/image_decoder.h"
#include "attachments/image/lanczos_window.h"

#include <cstddef>
#include <deque>
#include <vector>

namespace attachments {

class HorizontalPass {
public:
    // Delivered bytes are read as `layout` says, straight alpha multiplied in.
    HorizontalPass(int source, int target, double covered, PixelLayout layout);

    int target() const { return axis_.target(); }

    // A whole row: `source` pixels in, `target` out.
    void row(const Pixel4* in, Pixel4* out);
    void row(const unsigned char* in, Pixel4* out);

    // The same a band of rows at a time, in pieces: after begin(rows), columns
    // [x, x + width) of every row, left to right until the row's end; then the band's
    // rows are at band(r).
    void begin(int rows);
    void add(int x, int width, const unsigned char* pixels, std::size_t stride);
    bool bandComplete() const { return nextColumn_ == axis_.source(); }
    const Pixel4* band(int r) const {
        return band_.data() + static_cast<std::size_t>(r) * axis_.target();
    }

private:
    struct Window {
        int index;
        int first;
        int count;
        const float* weights;
    };
    template <typename Read>
    void sweep(int x, int width, int rows, const Read& read, Pixel4* sums, std::size_t stride);
    template <typename Read>
    void sweepStretch(int x, int width, int rows, const Read& read, Pixel4* sums,
                      std::size_t stride);
    void restart();
    Window open(int index);
    void rowFromTable(const Pixel4* in, Pixel4* out) const;

    Lanczos3Axis axis_;
    PixelLayout layout_;
    bool tabled_;
    // With a table: the taps, and again with every output `taps_.widest` wide, zero
    // weights around the real ones, so that four outputs sum side by side.
    FilterTaps taps_;
    std::vector<int> windowStart_;
    std::vector<float> windowWeights_;
    std::vector<Pixel4> floats_; // a byte row as floats, for the table's sums

    // The sweep through a band: windows open from the first piece that reaches them until
    // the piece that completes them; without a table their weights live in `computed_`.
    std::vector<Pixel4> band_;
    int bandRows_ = 0;
    int nextColumn_ = 0;
    int nextOutput_ = 0;
    std::deque<Window> open_;
    std::deque<std::vector<float>> computed_;
    std::vector<std::vector<float>> spare_;
};

} // namespace attachments
