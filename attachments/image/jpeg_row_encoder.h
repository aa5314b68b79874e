#pragma once
// A JPEG encoded row by row as the rows are finished, into memory, with the settings of
// the JPEG writer (quality 88, 4:2:0, libjpeg-turbo's fast DCT): the same bytes that
// writing the whole picture at once gives, without waiting for the last row to start.

#include <memory>
#include <vector>

namespace attachments {

class JpegRowEncoder {
public:
    // Fails with "Cannot write image" when the encoder cannot be set up.
    JpegRowEncoder(int width, int height);
    ~JpegRowEncoder();
    JpegRowEncoder(const JpegRowEncoder&) = delete;
    JpegRowEncoder& operator=(const JpegRowEncoder&) = delete;

    // The next row, width × 3 bytes of RGB. Fails with "Cannot write image".
    void row(const unsigned char* rgb);

    // The JPEG file's bytes, once every row has been given; fails with "Cannot write
    // image" otherwise.
    std::vector<unsigned char> finish();

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace attachments
