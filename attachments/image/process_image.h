#pragma once

#include "common/json.h"

#include <string>

namespace attachments {

// The image path: checks the file is one still image of at most 40,000,000 pixels and
// reports its stored size; for "prepare" also writes an upright, white-backed
// "image.jpg" of at most 2000 pixels on its longer side into the job's `output`.
common::Json processImage(const common::Json& job, const std::string& input,
                          const std::string& operation);

} // namespace attachments
