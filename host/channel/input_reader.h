#pragma once
// The reading thread: it only reads a file descriptor and hands each chunk on, unchanged;
// at end of input (or a read error) it reports the end once and stops.
//
// Only a read of 0 bytes is the end. An interrupted read is retried, and a descriptor
// that a parent handed over non-blocking (EAGAIN) is waited on with poll(2): input that
// has not arrived yet has not ended.

#include <functional>
#include <memory>
#include <semaphore>
#include <string>
#include <sys/types.h>
#include <thread>

namespace host {

class InputReader {
public:
    // Bytes read at a time. Small against the pending bound, so that a burst of ordinary
    // requests never looks like a line too long to hold.
    static constexpr std::size_t chunkSize = 4096;
    // Chunks handed on but not yet consumed before the reader waits: bounds the memory
    // a fast client can pile up in the main queue.
    static constexpr std::ptrdiff_t chunksInFlight = 256;

    // A chunk's slot is given back when the last copy of its token is gone, whether the
    // chunk was consumed or dropped.
    using SlotToken = std::shared_ptr<void>;
    // `chunk` and `end` are called on the reading thread.
    InputReader(int fd, std::function<void(std::string bytes, SlotToken slot)> chunk,
                std::function<void()> end);
    // Joins the thread: the input must have ended (or the process be exiting).
    ~InputReader();
    InputReader(const InputReader&) = delete;
    InputReader& operator=(const InputReader&) = delete;

private:
    void run();
    // One read(2) that waits out EINTR and EAGAIN: the byte count, 0 at the end, or -1 on
    // an error that no retry mends (the descriptor is bad, the device failed).
    ssize_t readSome(char* into, std::size_t size) const;

    int fd_;
    std::function<void(std::string, SlotToken)> chunk_;
    std::function<void()> end_;
    std::counting_semaphore<chunksInFlight> slots_{chunksInFlight};
    std::thread thread_;
};

} // namespace host
