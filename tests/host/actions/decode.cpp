#include "decode.h"

// clang-format off
#include <cstdio>
#include <jpeglib.h>
// clang-format on
#include <openssl/evp.h>

#include <csetjmp>

namespace host::testing {

std::optional<std::vector<unsigned char>> decodeBase64(const std::string& text) {
    if (text.size() % 4 != 0) return std::nullopt;
    if (text.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"
                               "=") != std::string::npos)
        return std::nullopt;
    std::vector<unsigned char> out(text.size() / 4 * 3);
    int n = EVP_DecodeBlock(out.data(), reinterpret_cast<const unsigned char*>(text.data()),
                            static_cast<int>(text.size()));
    if (n < 0) return std::nullopt;
    std::size_t padding = text.ends_with("==") ? 2 : text.ends_with("=") ? 1 : 0;
    out.resize(static_cast<std::size_t>(n) - padding);
    return out;
}

namespace {
struct Trap {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};
[[noreturn]] void jumpBack(j_common_ptr codec) {
    std::longjmp(reinterpret_cast<Trap*>(codec->err)->jump, 1);
}
} // namespace

std::optional<DecodedJpeg> decodeJpeg(const std::vector<unsigned char>& bytes) {
    jpeg_decompress_struct codec;
    Trap trap;
    codec.err = jpeg_std_error(&trap.manager);
    trap.manager.error_exit = jumpBack;
    DecodedJpeg image;
    if (setjmp(trap.jump)) {
        jpeg_destroy_decompress(&codec);
        return std::nullopt;
    }
    jpeg_create_decompress(&codec);
    jpeg_mem_src(&codec, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&codec, TRUE);
    codec.out_color_space = JCS_RGB;
    jpeg_start_decompress(&codec);
    image.width = static_cast<int>(codec.output_width);
    image.height = static_cast<int>(codec.output_height);
    image.rgb.resize(static_cast<std::size_t>(image.width) * image.height * 3);
    while (codec.output_scanline < codec.output_height) {
        JSAMPROW row = image.rgb.data() + codec.output_scanline * image.width * 3;
        jpeg_read_scanlines(&codec, &row, 1);
    }
    jpeg_finish_decompress(&codec);
    jpeg_destroy_decompress(&codec);
    return image;
}

} // namespace host::testing
