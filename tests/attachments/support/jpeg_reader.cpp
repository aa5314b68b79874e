#include "tests/attachments/support/jpeg_reader.h"

#include "tests/attachments/support/scratch_dir.h"

#include <memory>
#include <turbojpeg.h>

namespace attachments::testing {

std::optional<DecodedJpeg> readJpeg(const std::string& path) {
    std::string bytes;
    try {
        bytes = readFile(path);
    } catch (const std::exception&) {
        return std::nullopt;
    }
    std::unique_ptr<void, int (*)(tjhandle)> handle(tjInitDecompress(), tjDestroy);
    if (!handle) return std::nullopt;
    auto data = reinterpret_cast<const unsigned char*>(bytes.data());
    int width = 0, height = 0, subsampling = 0, colorspace = 0;
    if (tjDecompressHeader3(handle.get(), data, bytes.size(), &width, &height, &subsampling,
                            &colorspace) != 0)
        return std::nullopt;
    DecodedJpeg image{width, height, std::vector<unsigned char>(std::size_t(width) * height * 3)};
    if (tjDecompress2(handle.get(), data, bytes.size(), image.rgb.data(), width, 0, height,
                      TJPF_RGB, 0) != 0)
        return std::nullopt;
    return image;
}

} // namespace attachments::testing
