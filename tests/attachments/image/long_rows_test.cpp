// Rows and columns far longer than the output: windows worked out as they are reached
// (with their sines from a rotation) match the formula, and whole rows, pieces of rows and
// rows too long for a table of windows all sum to the same bits as the taps say.
#include "attachments/image/lanczos_scaler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

using namespace attachments;

namespace {

double lanczos3(double x) {
    const auto sinc = [](double v) {
        return v == 0 ? 1.0 : std::sin(std::numbers::pi * v) / (std::numbers::pi * v);
    };
    return std::fabs(x) < 3 ? sinc(x) * sinc(x / 3) : 0.0;
}

TEST(LongRows, WindowsOfManyTapsMatchTheFormula) {
    // A reduction by 2000: windows of 12,000 taps, and 7,000 at the edges.
    const Lanczos3Axis axis(4'000'000, 2000);
    std::vector<float> weights;
    for (const int i : {0, 1, 777, 1998, 1999}) {
        const int first = axis.window(i, weights);
        const double centre = (i + 0.5) * 2000.0;
        std::vector<double> want(weights.size());
        double sum = 0;
        for (std::size_t k = 0; k < want.size(); ++k)
            sum += want[k] = lanczos3((first + static_cast<double>(k) + 0.5 - centre) / 2000.0);
        double worst = 0;
        for (std::size_t k = 0; k < want.size(); ++k)
            worst = std::max(worst, std::fabs(weights[k] - want[k] / sum));
        EXPECT_LT(worst, 1e-9) << "output " << i;
        EXPECT_GE(weights.size(), 7000u); // the first output's window starts at the edge
    }
}

// Bytes of a test row: every pixel different, alpha too.
std::vector<unsigned char> rowBytes(int width, int salt) {
    std::vector<unsigned char> row(static_cast<std::size_t>(width) * 4);
    for (std::size_t i = 0; i < row.size(); ++i)
        row[i] = static_cast<unsigned char>((i * 7919 + static_cast<std::size_t>(salt) * 31) >> 3);
    return row;
}

// Each target pixel as the taps say: the sum of weight × source pixel, in order.
std::vector<Pixel4> byTheTaps(const std::vector<unsigned char>& row, int target) {
    const int source = static_cast<int>(row.size() / 4);
    const FilterTaps taps = lanczos3Taps(source, target);
    std::vector<Pixel4> out(static_cast<std::size_t>(target));
    for (int x = 0; x < target; ++x) {
        Pixel4 sum = {0, 0, 0, 0};
        for (int k = 0; k < taps.count[x]; ++k) {
            const unsigned char* p = &row[static_cast<std::size_t>(taps.first[x] + k) * 4];
            sum += Pixel4{float(p[0]), float(p[1]), float(p[2]), float(p[3])} *
                   taps.weights[taps.offset[x] + k];
        }
        out[x] = sum;
    }
    return out;
}

struct Scaled {
    std::vector<std::vector<Pixel4>> rows;
    void keep(int y, const Pixel4* row, int width) {
        if (rows.size() <= static_cast<std::size_t>(y)) rows.resize(y + 1);
        rows[y].assign(row, row + width);
    }
};

bool sameBits(const std::vector<Pixel4>& a, const std::vector<Pixel4>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        for (int c = 0; c < 4; ++c)
            if (a[i][c] != b[i][c]) return false;
    return true;
}

TEST(LongRows, WholeRowsAndPiecesSumAsTheTapsSay) {
    // 9,000 pixels reduce through a table of windows, 700,000 without one.
    for (const int source : {9000, 700'000}) {
        SCOPED_TRACE(testing::Message() << source << " pixels a row");
        const int target = 2000;
        const auto row = rowBytes(source, 1);
        const auto want = byTheTaps(row, target);
        // One row in, one row out: the vertical pass adds it with weight 1.
        Scaled whole, pieces;
        LanczosScaler byRow({source, 1}, {target, 1},
                            [&](int y, const Pixel4* out) { whole.keep(y, out, target); });
        byRow.push(row.data());
        LanczosScaler byPiece({source, 1}, {target, 1},
                              [&](int y, const Pixel4* out) { pieces.keep(y, out, target); });
        // Pieces of odd lengths, some shorter than a window and some longer.
        for (int x = 0, n = 1; x < source; n = n * 7 % 4099 + 3) {
            const int width = std::min(n * 13, source - x);
            byPiece.piece(1, x, width, row.data() + static_cast<std::size_t>(x) * 4, row.size());
            x += width;
        }
        ASSERT_TRUE(byRow.done());
        ASSERT_TRUE(byPiece.done());
        EXPECT_TRUE(sameBits(whole.rows[0], want));
        EXPECT_TRUE(sameBits(pieces.rows[0], want));
    }
}

TEST(LongRows, ABandOfRowsInPiecesGivesEachRowItsOwnSums) {
    const int source = 5000, target = 1000, rows = 5;
    std::vector<std::vector<unsigned char>> band;
    std::vector<unsigned char> interleaved; // the band as one picture, rows after rows
    for (int r = 0; r < rows; ++r) {
        band.push_back(rowBytes(source, r));
        interleaved.insert(interleaved.end(), band.back().begin(), band.back().end());
    }
    Scaled byRow, byPiece;
    LanczosScaler a({source, rows}, {target, rows},
                    [&](int y, const Pixel4* out) { byRow.keep(y, out, target); });
    for (const auto& row : band)
        a.push(row.data());
    LanczosScaler b({source, rows}, {target, rows},
                    [&](int y, const Pixel4* out) { byPiece.keep(y, out, target); });
    const std::size_t stride = static_cast<std::size_t>(source) * 4;
    for (int x = 0; x < source; x += 256)
        b.piece(rows, x, std::min(256, source - x), interleaved.data() + x * 4, stride);
    ASSERT_TRUE(a.done() && b.done());
    for (int y = 0; y < rows; ++y)
        EXPECT_TRUE(sameBits(byRow.rows[y], byPiece.rows[y])) << "row " << y;
}

TEST(LongRows, PiecesOutOfOrderAreRefused) {
    LanczosScaler scaler({100, 2}, {10, 1}, [](int, const Pixel4*) {});
    const auto row = rowBytes(100, 0);
    scaler.piece(1, 0, 40, row.data(), row.size());
    EXPECT_THROW(scaler.piece(1, 50, 10, row.data(), row.size()), Failure);
}

TEST(LongRows, TallColumnsScaleAsTheTapsSay) {
    // 200,000 rows of 3 pixels to 2000 rows of 3: the vertical pass alone, windows of
    // about 600 rows summed as they arrive.
    const int source = 200'000, target = 2000, width = 3;
    std::vector<float> column(source);
    for (int y = 0; y < source; ++y)
        column[y] = float((y * 37) % 256);
    std::vector<Pixel4> got(target);
    int emitted = 0;
    LanczosScaler scaler({width, source}, {width, target}, [&](int y, const Pixel4* out) {
        got[y] = out[1];
        ++emitted;
    });
    std::vector<Pixel4> row(width);
    for (int y = 0; y < source; ++y) {
        std::fill(row.begin(), row.end(), Pixel4{column[y], 1, 2, 255});
        scaler.push(row.data());
    }
    ASSERT_EQ(emitted, target);
    const FilterTaps taps = lanczos3Taps(source, target);
    for (int y = 0; y < target; ++y) {
        Pixel4 sum = {0, 0, 0, 0};
        for (int k = 0; k < taps.count[y]; ++k)
            sum += Pixel4{column[taps.first[y] + k], 1, 2, 255} * taps.weights[taps.offset[y] + k];
        for (int c = 0; c < 4; ++c)
            ASSERT_EQ(got[y][c], sum[c]) << "row " << y;
    }
}

} // namespace
