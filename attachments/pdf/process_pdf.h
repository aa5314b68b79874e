#pragma once

#include "common/json.h"

#include <cstddef>
#include <string>

namespace attachments {

// The PDF path: checks the file is an unencrypted PDF of 1 to 100 pages and reports the
// page count; for "prepare" also renders up to 10 chosen pages to "page-N.jpg" in the
// job's `output`, with their text.
common::Json processPdf(const common::Json& job, const std::string& input,
                        const std::string& operation);

// The same with MuPDF's memory held to `memoryCeiling` bytes instead of the usual ceiling.
common::Json processPdf(const common::Json& job, const std::string& input,
                        const std::string& operation, std::size_t memoryCeiling);

} // namespace attachments
