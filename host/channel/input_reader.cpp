#include "host/channel/input_reader.h"

#include <cerrno>
#include <unistd.h>
#include <utility>

namespace host {

InputReader::InputReader(int fd, std::function<void(std::string, SlotToken)> chunk,
                         std::function<void()> end)
    : fd_(fd), chunk_(std::move(chunk)), end_(std::move(end)), thread_([this] { run(); }) {}

InputReader::~InputReader() {
    if (thread_.joinable()) thread_.join();
}

void InputReader::run() {
    for (;;) {
        slots_.acquire();
        std::string bytes(chunkSize, '\0');
        ssize_t count;
        do {
            count = ::read(fd_, bytes.data(), bytes.size());
        } while (count < 0 && errno == EINTR);
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
