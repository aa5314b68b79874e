#pragma once

#include "common/json.h"

#include <string>

namespace attachments {

// The PDF path: checks the file is an unencrypted PDF of 1 to 100 pages and reports the
// page count; for "prepare" also renders up to 10 chosen pages to "page-N.jpg" in the
// job's `output`, with their text.
common::Json processPdf(const common::Json& job, const std::string& input,
                        const std::string& operation);

} // namespace attachments
