#include "attachments/image/row_pipeline.h"

#include "attachments/image/image_failures.h"

#include <algorithm>
#include <cstring>
#include <system_error>

namespace attachments {
namespace {

// About this much a batch: big enough that the hand-over is rare, small enough that a
// few batches stay well inside the caches and the memory budget. Very wide rows go fewer
// to a batch, down to one, so the batches never hold much more than a row each.
constexpr std::size_t kBatchBytes = 256 * 1024;
constexpr std::size_t kMaxBatchRows = 4096;
// Rows longer than this (a million pixels) are not copied: a picture 40,000,000 pixels
// long would otherwise hold several copies of its one row.
constexpr std::size_t kMaxCopiedRowBytes = 4u << 20;

} // namespace

RowPipeline::RowPipeline(RowSink& inner, PipelineOptions options)
    : inner_(inner), options_(options) {}

void RowPipeline::start(const RowFormat& format) {
    if (started_) failCannotPrepare(); // a decoder starts once
    started_ = true;
    const std::int64_t pixels = static_cast<std::int64_t>(format.size.width) * format.size.height;
    if (format.size.width < 1 || format.size.height < 2 || pixels < options_.minPixels ||
        format.inPieces || static_cast<std::size_t>(format.size.width) * 4 > kMaxCopiedRowBytes) {
        inner_.start(format);
        return;
    }

    rowBytes_ = static_cast<std::size_t>(format.size.width) * 4;
    batchRows_ = options_.batchRows > 0
                     ? static_cast<std::size_t>(options_.batchRows)
                     : std::clamp<std::size_t>(kBatchBytes / rowBytes_, 1, kMaxBatchRows);
    batches_ = static_cast<std::size_t>(std::max(options_.batches, 2));
    storage_.resize(batches_ * batchRows_ * rowBytes_);
    rowsIn_.assign(batches_, 0);
    // The inner sink starts on the worker too: what it prepares (filters, colour
    // transforms, the output picture) overlaps with the decoder's first rows.
    try {
        worker_ =
            std::jthread([this, format](std::stop_token stop) { work(std::move(stop), format); });
    } catch (const std::system_error&) {
        // No thread to be had (a process limit): the rows go straight in instead.
        storage_ = {};
        inner_.start(format);
        return;
    }
    threaded_ = true;
}

void RowPipeline::row(const unsigned char* pixels) {
    if (!threaded_) {
        inner_.row(pixels);
        return;
    }
    if (failed_.load(std::memory_order_acquire)) raiseFailure();
    if (ended_) failCannotPrepare(); // a row after finish()
    if (filling_ == 0) awaitFreeBatch();
    std::memcpy(batchData(produced_) + filling_ * rowBytes_, pixels, rowBytes_);
    if (++filling_ == batchRows_) handOver();
}

void RowPipeline::piece(int rows, int x, int width, const unsigned char* pixels,
                        std::size_t stride) {
    if (threaded_) failCannotPrepare();
    inner_.piece(rows, x, width, pixels, stride);
}

void RowPipeline::finish() {
    if (!threaded_ || ended_) return;
    if (filling_ > 0) handOver();
    {
        const std::lock_guard lock(mutex_);
        ended_ = true;
    }
    filled_.notify_one();
    worker_.join(); // the worker takes every queued batch, then returns
    if (failure_) std::rethrow_exception(failure_);
}

// Waits until the slot of batch `produced_` is no longer queued for the worker.
void RowPipeline::awaitFreeBatch() {
    std::unique_lock lock(mutex_);
    emptied_.wait(lock, [&] { return produced_ - consumed_ < batches_ || failure_; });
    if (failure_) {
        lock.unlock();
        raiseFailure();
    }
}

void RowPipeline::handOver() {
    {
        const std::lock_guard lock(mutex_);
        rowsIn_[produced_ % batches_] = filling_;
        ++produced_;
    }
    filling_ = 0;
    filled_.notify_one();
}

void RowPipeline::raiseFailure() {
    std::exception_ptr failure;
    {
        const std::lock_guard lock(mutex_);
        failure = failure_;
    }
    std::rethrow_exception(failure);
}

void RowPipeline::work(std::stop_token stop, const RowFormat& format) {
    try {
        inner_.start(format);
    } catch (...) {
        fail(std::current_exception());
        return;
    }
    for (;;) {
        std::uint64_t batch = 0;
        std::size_t rows = 0;
        {
            std::unique_lock lock(mutex_);
            if (!filled_.wait(lock, stop, [&] { return consumed_ < produced_ || ended_; }))
                return;                         // abandoned: the producer failed
            if (consumed_ == produced_) return; // ended, and every batch taken
            batch = consumed_;
            rows = rowsIn_[batch % batches_];
        }
        try {
            const unsigned char* data = batchData(batch);
            for (std::size_t r = 0; r < rows; ++r) {
                if (stop.stop_requested()) return;
                inner_.row(data + r * rowBytes_);
            }
        } catch (...) {
            fail(std::current_exception());
            return;
        }
        {
            const std::lock_guard lock(mutex_);
            ++consumed_;
        }
        emptied_.notify_one();
    }
}

// Keeps what the inner sink raised and wakes the producer to raise it.
void RowPipeline::fail(std::exception_ptr failure) {
    {
        const std::lock_guard lock(mutex_);
        failure_ = std::move(failure);
    }
    failed_.store(true, std::memory_order_release);
    emptied_.notify_one();
}

} // namespace attachments
