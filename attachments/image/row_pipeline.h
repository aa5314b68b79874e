#pragma once
// Runs a RowSink on a thread of its own, so that a decoder on the calling thread and the
// work after it (scaling, colour, placing) overlap. The decoder's rows are copied into a
// few fixed batches that go round between the two threads: memory stays at those batches
// whatever the picture's height, and the inner sink sees every row once, in order.

#include "attachments/image/image_decoder.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <stop_token>
#include <thread>
#include <vector>

namespace attachments {

struct PipelineOptions {
    // Pictures that deliver fewer pixels go straight to the inner sink on the calling
    // thread: there a second thread costs more than it saves.
    std::int64_t minPixels = 1 << 18;
    // Rows a batch; 0 picks it from the row width (about 256 KiB a batch, 1 to 4096 rows).
    int batchRows = 0;
    // Batches in flight between the two threads.
    int batches = 4;
};

class RowPipeline final : public RowSink {
public:
    explicit RowPipeline(RowSink& inner, PipelineOptions options = {});
    // Stops the worker without letting it take the rows still queued, and joins it.
    ~RowPipeline() override = default;
    RowPipeline(const RowPipeline&) = delete;
    RowPipeline& operator=(const RowPipeline&) = delete;

    // Starts the worker if the picture is large enough, and the inner sink on it; a small
    // picture's inner sink starts here. A failure of the inner sink's start() is raised
    // here or, on the worker, by a later row() or finish().
    void start(const RowFormat& format) override;

    // Queues one row; raises what the inner sink raised on the worker.
    void row(const unsigned char* pixels) override;

    // Pieces go straight to the inner sink: pictures that come in pieces, like those with
    // rows too long to copy, never go through the worker.
    void piece(int rows, int x, int width, const unsigned char* pixels,
               std::size_t stride) override;

    // Hands over the last rows, waits until the inner sink has taken every one and joins
    // the worker; raises what the inner sink raised. The inner sink may be read after.
    void finish();

    // True when rows go through the worker (known after start()).
    bool threaded() const { return threaded_; }

private:
    unsigned char* batchData(std::uint64_t batch) {
        return storage_.data() + (batch % batches_) * batchRows_ * rowBytes_;
    }
    void awaitFreeBatch();
    void handOver();
    [[noreturn]] void raiseFailure();
    void work(std::stop_token stop, const RowFormat& format);
    void fail(std::exception_ptr failure);

    RowSink& inner_;
    PipelineOptions options_;
    bool started_ = false;
    bool threaded_ = false;
    std::size_t rowBytes_ = 0;
    std::size_t batchRows_ = 0;
    std::size_t batches_ = 0;
    std::vector<unsigned char> storage_; // batches_ × batchRows_ rows
    std::size_t filling_ = 0;            // rows already in the batch being filled

    // Batches go round in order: batch n lives in slot n % batches_. The producer fills
    // `produced_`, the worker takes `consumed_`; both only grow. Guarded by mutex_.
    std::mutex mutex_;
    std::condition_variable_any filled_;  // the worker waits here for batches
    std::condition_variable_any emptied_; // the producer waits here for a free slot
    std::uint64_t produced_ = 0;
    std::uint64_t consumed_ = 0;
    std::vector<std::size_t> rowsIn_; // rows of each slot, set when it is handed over
    bool ended_ = false;              // no batch will follow `produced_`
    std::exception_ptr failure_;      // what the inner sink raised on the worker
    std::atomic<bool> failed_{false}; // failure_ is set: lets row() stop without locking

    std::jthread worker_; // last: joined before everything above is gone
};

} // namespace attachments
