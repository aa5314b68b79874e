#pragma once
// Standard error pointed at /dev/null for as long as the guard lives. libheif's codecs
// (libdav1d above all) log to standard error on damaged input and offer no way, through
// libheif, to install a logger of our own; the tool prints nothing but its message.
// The program is single-threaded, so nothing else writes to standard error meanwhile.

namespace attachments {

class QuietStderr {
public:
    QuietStderr();
    ~QuietStderr();
    QuietStderr(const QuietStderr&) = delete;
    QuietStderr& operator=(const QuietStderr&) = delete;

private:
    int saved_ = -1;
};

} // namespace attachments
