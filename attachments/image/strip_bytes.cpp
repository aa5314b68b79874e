#include "attachments/image/strip_bytes.h"

#include <algorithm>

namespace attachments {

std::span<const unsigned char> StripBytes::next() {
    if (left_ == 0) return {};
    const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(left_, kRunBytes));
    buffer_.resize(want);
    const std::size_t got = file_.readAt(next_, buffer_.data(), want).value_or(0);
    // A short read is the file's end: nothing more of the strip will come.
    left_ = got == want ? left_ - got : 0;
    next_ += got;
    return {buffer_.data(), got};
}

} // namespace attachments
