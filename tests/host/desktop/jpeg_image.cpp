#include "jpeg_image.h"

#include <openssl/evp.h>

#include <cstdio>
#include <jpeglib.h>
#include <setjmp.h>

namespace desktop_test {

std::optional<std::vector<unsigned char>> decodeBase64(const std::string& text) {
    if (text.size() % 4 != 0) return std::nullopt;
    std::vector<unsigned char> out(text.size() / 4 * 3);
    int n = EVP_DecodeBlock(out.data(), reinterpret_cast<const unsigned char*>(text.data()),
                            static_cast<int>(text.size()));
    if (n < 0) return std::nullopt;
    std::size_t padding = 0;
    for (std::size_t i = text.size(); i > 0 && text[i - 1] == '='; --i)
        ++padding;
    out.resize(static_cast<std::size_t>(n) - padding);
    return out;
}

namespace {
struct ErrorManager {
    jpeg_error_mgr base;
    jmp_buf jump;
};
void onError(j_common_ptr info) {
    longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}
} // namespace

std::optional<RgbImage> decodeJpeg(const std::vector<unsigned char>& bytes) {
    jpeg_decompress_struct info{};
    ErrorManager errors{};
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = onError;
    RgbImage image;
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&info);
        return std::nullopt;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    image.width = static_cast<int>(info.output_width);
    image.height = static_cast<int>(info.output_height);
    image.rgb.resize(static_cast<std::size_t>(image.width) * image.height * 3);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row =
            image.rgb.data() + static_cast<std::size_t>(info.output_scanline) * image.width * 3;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return image;
}

} // namespace desktop_test
