#include "tests/support/jpeg_decode.h"

#include "common/unique_handle.h"

#include <fstream>
#include <iterator>
#include <openssl/evp.h>
#include <turbojpeg.h>

namespace test_support {

std::optional<std::vector<unsigned char>> decodeBase64(const std::string& text) {
    if (text.size() % 4 != 0) return std::nullopt;
    if (text.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"
                               "=") != std::string::npos)
        return std::nullopt;
    std::vector<unsigned char> out(text.size() / 4 * 3);
    const int n = EVP_DecodeBlock(out.data(), reinterpret_cast<const unsigned char*>(text.data()),
                                  static_cast<int>(text.size()));
    if (n < 0) return std::nullopt;
    const std::size_t padding = text.ends_with("==") ? 2 : text.ends_with("=") ? 1 : 0;
    out.resize(static_cast<std::size_t>(n) - padding);
    return out;
}

std::optional<RgbImage> decodeJpeg(const std::vector<unsigned char>& bytes) {
    common::Owned<void, tjDestroy> decoder(tjInitDecompress());
    if (!decoder || bytes.empty()) return std::nullopt;
    int width = 0, height = 0, subsampling = 0, colourspace = 0;
    if (tjDecompressHeader3(decoder.get(), bytes.data(), bytes.size(), &width, &height,
                            &subsampling, &colourspace) != 0)
        return std::nullopt;
    RgbImage image;
    image.width = width;
    image.height = height;
    image.rgb.resize(static_cast<std::size_t>(width) * height * 3);
    if (tjDecompress2(decoder.get(), bytes.data(), bytes.size(), image.rgb.data(), width, 0, height,
                      TJPF_RGB, TJFLAG_ACCURATEDCT) != 0)
        return std::nullopt;
    return image;
}

std::optional<RgbImage> readJpeg(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    const std::vector<unsigned char> bytes{std::istreambuf_iterator<char>(in),
                                           std::istreambuf_iterator<char>()};
    return decodeJpeg(bytes);
}

} // namespace test_support
