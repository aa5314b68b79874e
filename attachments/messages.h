#pragma once
// Every message the tool prints on standard error, each named once. They are fixed
// English texts: none carries a file name, a page number or a library's own words.

#include <string_view>

namespace attachments {

// The job driver.
inline constexpr std::string_view kInvalidInput = "Invalid input";
inline constexpr std::string_view kProcessingFailed = "File processing failed";

// The image path, and the JPEG writer that both paths share.
inline constexpr std::string_view kUnsupportedImage = "Unsupported, animated or damaged image";
inline constexpr std::string_view kCannotPrepareImage = "Cannot prepare image";
inline constexpr std::string_view kCannotWriteImage = "Cannot write image";

// The PDF path.
inline constexpr std::string_view kUnsupportedPdf = "Unsupported, encrypted or damaged PDF";
inline constexpr std::string_view kSelectPdfPages = "Select PDF pages";
inline constexpr std::string_view kInvalidPage = "Invalid page";
inline constexpr std::string_view kInvalidPdfDimensions = "Invalid PDF dimensions";
inline constexpr std::string_view kCannotRenderPdf = "Cannot render PDF";

} // namespace attachments
