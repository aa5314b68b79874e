// The row pipeline: every row reaches the inner sink once and in order, whatever the
// batch boundaries, and a failure on either thread ends the run cleanly.
#include "attachments/failure.h"
#include "attachments/image/row_pipeline.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <thread>
#include <vector>

using attachments::Failure;
using attachments::PipelineOptions;
using attachments::RowFormat;
using attachments::RowPipeline;
using attachments::RowSink;

namespace {

constexpr int kWidth = 5;

// Row `y` of a test picture: every byte says which row and column it belongs to.
std::vector<unsigned char> rowBytes(int y) {
    std::vector<unsigned char> row(kWidth * 4);
    for (int i = 0; i < kWidth * 4; ++i)
        row[i] = static_cast<unsigned char>((y * 31 + i) & 0xFF);
    return row;
}

RowFormat format(int height) {
    RowFormat f;
    f.full = f.size = {kWidth, height};
    return f;
}

// Keeps what it receives and where; fails on row `failAt` if asked to.
class RecordingSink final : public RowSink {
public:
    void start(const RowFormat& f) override {
        if (failOnStart) throw Failure{"start refused"};
        starts++;
        height = f.size.height;
    }
    void row(const unsigned char* pixels) override {
        threads.push_back(std::this_thread::get_id());
        if (failAt && static_cast<int>(rows.size()) == *failAt) throw Failure{"sink failed"};
        rows.emplace_back(pixels, pixels + kWidth * 4);
    }

    std::optional<int> failAt;
    bool failOnStart = false;
    int starts = 0;
    int height = 0;
    std::vector<std::vector<unsigned char>> rows;
    std::vector<std::thread::id> threads;
};

PipelineOptions threadedBatchesOf(int rows, int batches = 3) {
    return {.minPixels = 0, .batchRows = rows, .batches = batches};
}

TEST(RowPipeline, EveryRowArrivesOnceAndInOrderAcrossBatchBoundaries) {
    for (const int batchRows : {1, 3, 8, 32}) {
        for (const int height : {1, 2, 3, 7, 8, 9, 31, 32, 33, 97, 1000}) {
            SCOPED_TRACE(testing::Message() << "batch " << batchRows << " height " << height);
            RecordingSink sink;
            {
                RowPipeline pipeline(sink, threadedBatchesOf(batchRows));
                pipeline.start(format(height));
                EXPECT_EQ(pipeline.threaded(), height > 1);
                for (int y = 0; y < height; ++y)
                    pipeline.row(rowBytes(y).data()); // the buffer dies right after
                pipeline.finish();
            }
            EXPECT_EQ(sink.starts, 1);
            ASSERT_EQ(sink.rows.size(), static_cast<std::size_t>(height));
            for (int y = 0; y < height; ++y)
                ASSERT_EQ(sink.rows[y], rowBytes(y)) << "row " << y;
        }
    }
}

TEST(RowPipeline, LargePicturesGoToAnotherThreadSmallOnesStayOnTheCaller) {
    const auto caller = std::this_thread::get_id();
    for (const bool large : {false, true}) {
        RecordingSink sink;
        RowPipeline pipeline(sink, {.minPixels = kWidth * 100, .batchRows = 4});
        const int height = large ? 100 : 99;
        pipeline.start(format(height));
        EXPECT_EQ(pipeline.threaded(), large);
        for (int y = 0; y < height; ++y)
            pipeline.row(rowBytes(y).data());
        pipeline.finish();
        ASSERT_EQ(sink.rows.size(), static_cast<std::size_t>(height));
        for (const auto id : sink.threads)
            EXPECT_EQ(id == caller, !large);
    }
}

TEST(RowPipeline, InnerFailureOnTheWorkerStopsTheProducerAndIsRaisedToTheCaller) {
    constexpr int kHeight = 1000;
    constexpr int kBatchRows = 3;
    constexpr int kBatches = 3;
    for (const int failAt : {0, 2, 3, 50, 998, 999}) {
        SCOPED_TRACE(testing::Message() << "failing row " << failAt);
        RecordingSink sink;
        sink.failAt = failAt;
        int fed = 0;
        std::optional<std::string> raised;
        bool raisedByRow = false;
        {
            RowPipeline pipeline(sink, threadedBatchesOf(kBatchRows, kBatches));
            pipeline.start(format(kHeight));
            try {
                for (; fed < kHeight; ++fed)
                    pipeline.row(rowBytes(fed).data());
                pipeline.finish();
            } catch (const Failure& failure) {
                raised = failure.message;
                raisedByRow = fed < kHeight;
            }
        }
        ASSERT_EQ(raised, "sink failed");
        // The worker took the rows before the failing one, in order, and nothing after it.
        ASSERT_EQ(sink.rows.size(), static_cast<std::size_t>(failAt));
        for (int y = 0; y < failAt; ++y)
            ASSERT_EQ(sink.rows[y], rowBytes(y));
        // The producer can run at most the batches in flight ahead of the failing one.
        const int failingBatch = failAt / kBatchRows;
        if ((failingBatch + kBatches) * kBatchRows < kHeight) {
            EXPECT_TRUE(raisedByRow);
            EXPECT_LE(fed, (failingBatch + kBatches) * kBatchRows);
        }
    }
}

TEST(RowPipeline, InnerStartFailureIsRaisedToTheCallerAndNoRowGoesIn) {
    // Inline, start() raises it; threaded, the inner sink starts on the worker and the
    // failure comes with a later row, at most the batches in flight later, or at finish().
    constexpr int kBatchRows = 4;
    constexpr int kBatches = 3;
    for (const int height : {10, 100}) {
        for (const bool threaded : {false, true}) {
            SCOPED_TRACE(testing::Message() << "height " << height << " threaded " << threaded);
            RecordingSink sink;
            sink.failOnStart = true;
            PipelineOptions options = threadedBatchesOf(kBatchRows, kBatches);
            if (!threaded) options.minPixels = kWidth * height + 1;
            int fed = 0;
            std::optional<std::string> raised;
            {
                RowPipeline pipeline(sink, options);
                try {
                    pipeline.start(format(height));
                    EXPECT_TRUE(threaded);
                    for (; fed < height; ++fed)
                        pipeline.row(rowBytes(fed).data());
                    pipeline.finish();
                } catch (const Failure& failure) {
                    raised = failure.message;
                }
                EXPECT_EQ(pipeline.threaded(), threaded);
            }
            EXPECT_EQ(raised, "start refused");
            EXPECT_LE(fed, threaded ? kBatches * kBatchRows : 0);
            EXPECT_TRUE(sink.rows.empty());
        }
    }
}

TEST(RowPipeline, ProducerFailureMidStreamEndsTheWorkerWithAPrefixOfTheRows) {
    // The producer gives up after `stopAt` rows, with batches full, partly full or none
    // handed over; leaving the scope must stop and join the worker, never hang.
    for (const int stopAt : {0, 1, 4, 5, 12, 13, 400}) {
        SCOPED_TRACE(testing::Message() << "producer stops after " << stopAt);
        RecordingSink sink;
        try {
            RowPipeline pipeline(sink, threadedBatchesOf(4, 2));
            pipeline.start(format(1000));
            for (int y = 0; y < stopAt; ++y)
                pipeline.row(rowBytes(y).data());
            throw Failure{"decoder failed"};
        } catch (const Failure& failure) {
            EXPECT_EQ(failure.message, "decoder failed");
        }
        ASSERT_LE(sink.rows.size(), static_cast<std::size_t>(stopAt));
        for (std::size_t y = 0; y < sink.rows.size(); ++y)
            ASSERT_EQ(sink.rows[y], rowBytes(static_cast<int>(y)));
    }
}

TEST(RowPipeline, MisuseByADecoderIsRefused) {
    RecordingSink sink;
    RowPipeline pipeline(sink, threadedBatchesOf(4));
    pipeline.start(format(10));
    EXPECT_THROW(pipeline.start(format(10)), Failure);
    for (int y = 0; y < 10; ++y)
        pipeline.row(rowBytes(y).data());
    pipeline.finish();
    EXPECT_THROW(pipeline.row(rowBytes(10).data()), Failure);
    EXPECT_EQ(sink.rows.size(), 10u);
}

} // namespace
