// Resampling quality of the image path: luma PSNR of the picture it prepares (before
// JPEG encoding) and of the JPEG it wrote, against a reference PPM of the same size (a
// Lanczos3 resampling of the fully decoded source, made by the benchmark script).
//
//   image_psnr SOURCE REFERENCE.ppm [WRITTEN.jpg]
#include "attachments/failure.h"
#include "attachments/image/image_decoder.h"
#include "attachments/image/prepared_picture.h"
#include "tests/support/jpeg_decode.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct Rgb {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> pixels; // rows of width × 3 bytes
};

Rgb readPpm(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int maxValue = 0;
    Rgb image;
    in >> magic >> image.width >> image.height >> maxValue;
    in.get();
    if (magic != "P6" || maxValue != 255) throw std::runtime_error("not an 8-bit P6 PPM: " + path);
    image.pixels.resize(static_cast<std::size_t>(image.width) * image.height * 3);
    in.read(reinterpret_cast<char*>(image.pixels.data()),
            static_cast<std::streamsize>(image.pixels.size()));
    return image;
}

double lumaPsnr(const unsigned char* a, const unsigned char* b, std::size_t pixels) {
    double sum = 0;
    for (std::size_t i = 0; i < pixels; ++i, a += 3, b += 3) {
        const double ya = 0.299 * a[0] + 0.587 * a[1] + 0.114 * a[2];
        const double yb = 0.299 * b[0] + 0.587 * b[1] + 0.114 * b[2];
        sum += (ya - yb) * (ya - yb);
    }
    const double mse = sum / static_cast<double>(pixels);
    return mse == 0 ? INFINITY : 10.0 * std::log10(255.0 * 255.0 / mse);
}

} // namespace

int main(int argc, char** argv) try {
    if (argc < 3) {
        std::cerr << "usage: image_psnr SOURCE REFERENCE.ppm [WRITTEN.jpg]\n";
        return 2;
    }
    const Rgb reference = readPpm(argv[2]);
    const auto decoder = attachments::openImage(argv[1]);
    const attachments::RgbPicture picture = attachments::preparePicture(*decoder);
    if (picture.size.width != reference.width || picture.size.height != reference.height) {
        std::cerr << "sizes differ: " << picture.size.width << "x" << picture.size.height << " vs "
                  << reference.width << "x" << reference.height << "\n";
        return 1;
    }
    const std::size_t pixels = static_cast<std::size_t>(reference.width) * reference.height;
    std::printf("scaled %.2f dB", lumaPsnr(picture.pixels.data(), reference.pixels.data(), pixels));
    if (argc > 3) {
        const auto written = test_support::readJpeg(argv[3]);
        if (!written) throw std::runtime_error(std::string("not a JPEG: ") + argv[3]);
        if (written->width == reference.width && written->height == reference.height)
            std::printf("  jpeg %.2f dB",
                        lumaPsnr(written->rgb.data(), reference.pixels.data(), pixels));
    }
    std::printf("\n");
    return 0;
} catch (const attachments::Failure& failure) {
    std::cerr << failure.message << "\n";
    return 1;
} catch (const std::exception& error) {
    std::cerr << error.what() << "\n";
    return 1;
}
