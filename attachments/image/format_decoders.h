#pragma once
// The per-format openers behind openImage(), and what they share. Each reads the header,
// counts the images and fails with "Unsupported, animated or damaged image" unless there is
// exactly one; openImage() then checks the size before anything is decoded.

#include "attachments/image/image_decoder.h"
#include "attachments/input_file.h"

#include <memory>

namespace attachments {

// Each decoder keeps the file and reads it through its descriptor only.
std::unique_ptr<ImageDecoder> openJpeg(InputFile file);
std::unique_ptr<ImageDecoder> openPng(InputFile file);
std::unique_ptr<ImageDecoder> openGif(InputFile file);
std::unique_ptr<ImageDecoder> openWebp(InputFile file);
std::unique_ptr<ImageDecoder> openTiff(InputFile file);
std::unique_ptr<ImageDecoder> openHeif(InputFile file);

} // namespace attachments
