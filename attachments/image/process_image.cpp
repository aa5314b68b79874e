#include "attachments/image/process_image.h"

#include "attachments/image/image_decoder.h"
#include "attachments/image/image_failures.h"
#include "attachments/image/prepared_picture.h"
#include "attachments/jpeg_writer.h"

#include <filesystem>

namespace attachments {

common::Json processImage(const common::Json& job, const std::string& input,
                          const std::string& operation) {
    std::unique_ptr<ImageDecoder> decoder = openImage(input);
    const Size stored = decoder->storedSize();
    common::Json report = {{"kind", "image"}, {"width", stored.width}, {"height", stored.height}};
    if (operation != "prepare") return report;

    const auto output = job.find("output");
    if (output == job.end() || !output->is_string()) failCannotPrepare();
    const std::string path =
        (std::filesystem::path(output->get<std::string>()) / "image.jpg").string();

    const PreparedImage prepared = prepareImage(*decoder);
    decoder.reset(); // the file and the codec's buffers are no longer needed
    if (prepared.jpeg.empty()) {
        writeImage(prepared.picture.view(), path);
    } else {
        writeJpeg(prepared.jpeg, path);
    }
    report["items"] = common::Json::array({{{"file", "image.jpg"}, {"page", 0}, {"text", ""}}});
    return report;
}

} // namespace attachments
