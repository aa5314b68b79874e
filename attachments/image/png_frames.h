#pragma once
// How many images a PNG holds. libspng does not know APNG, so the chunks ahead of the
// first IDAT are walked here: an acTL chunk announces an animation of num_frames frames,
// and the default image (IDAT) is one of them only when an fcTL chunk precedes it.

#include "attachments/input_file.h"

#include <optional>

namespace attachments {

// The number of images in the PNG `file`, or nothing when the chunk structure before IDAT
// is broken. A plain PNG holds 1.
std::optional<long long> pngImageCount(const InputFile& file);

} // namespace attachments
