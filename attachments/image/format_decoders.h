#pragma once
// The per-format openers behind openImage(), and what they share. Each reads the header,
// counts the images and fails with "Unsupported, animated or damaged image" unless there is
// exactly one; openImage() then checks the size before anything is decoded.

#include "attachments/image/image_decoder.h"

#include <cstdio>
#include <memory>
#include <string>

namespace attachments {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

std::unique_ptr<ImageDecoder> openJpeg(const std::string& path);
std::unique_ptr<ImageDecoder> openPng(const std::string& path);
std::unique_ptr<ImageDecoder> openGif(const std::string& path);
std::unique_ptr<ImageDecoder> openWebp(const std::string& path);
std::unique_ptr<ImageDecoder> openTiff(const std::string& path);
std::unique_ptr<ImageDecoder> openHeif(const std::string& path);

} // namespace attachments
