#include "host/channel/input_reader.h"

#include <cerrno>
#include <poll.h>
#include <unistd.h>
#include <utility>

namespace host {
namespace {

// Blocks until `fd` can be read (or has hung up). False when it cannot be waited on.
bool awaitReadable(int fd) {
    pollfd ready{fd, POLLIN, 0};
    for (;;) {
        if (::poll(&ready, 1, -1) >= 0) return true;
        if (errno != EINTR) return false;
    }
}

} // namespace

InputReader::InputReader(int fd, std::function<void(std::string, SlotToken)> chunk,
                         std::function<void()> end)
    : fd_(fd), chunk_(std::move(chunk)), end_(std::move(end)), thread_([this] { run(); }) {}

InputReader::~InputReader() {
    if (thread_.joinable()) thread_.join();
}

ssize_t InputReader::readSome(char* into, std::size_t size) const {
    for (;;) {
        const ssize_t count = ::read(fd_, into, size);
        if (count >= 0) return count;
        if (errno == EINTR) continue;
        // A non-blocking descriptor handed over by the parent has simply nothing yet.
        if ((errno == EAGAIN || errno == EWOULDBLOCK) && awaitReadable(fd_)) continue;
        return -1;
    }
}

void InputReader::run() {
    for (;;) {
        slots_.acquire();
        std::string bytes(chunkSize, '\0');
        const ssize_t count = readSome(bytes.data(), bytes.size());
        if (count <= 0) {
            slots_.release();
            end_();
            return;
        }
        bytes.resize(static_cast<std::size_t>(count));
        chunk_(std::move(bytes), SlotToken(nullptr, [this](void*) { slots_.release(); }));
    }
}

} // namespace host
