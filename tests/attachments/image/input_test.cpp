// The image path opens its input once and reads only that file: a NUL cuts no path short,
// a FIFO swapped in under the name cannot hold the run, and a file cut short while it is
// read ends the run with one of the path's messages, never a signal.
#include "attachments/image/prepared_picture.h"
#include "format_fixtures.h"
#include "image_test_support.h"
#include "tests/attachments/support/name_swapper.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace fixtures;

namespace {

// Noise that no codec compresses much, so that a file is far larger than what a reader
// takes in ahead of time.
Picture noise(int width, int height) {
    return makePicture(width, height, [](int x, int y) {
        std::uint32_t h = static_cast<std::uint32_t>(x) * 2654435761u ^
                          static_cast<std::uint32_t>(y) * 2246822519u;
        h ^= h >> 15;
        h *= 2654435761u;
        return Rgba{static_cast<std::uint8_t>(h), static_cast<std::uint8_t>(h >> 8),
                    static_cast<std::uint8_t>(h >> 16), 255};
    });
}

TEST(ImageInput, APathWithANulNamesNoFile) {
    ScratchDir dir;
    writePng(dir / "a.png", noise(8, 8));
    EXPECT_EQ(inspect(dir / "a.png")["width"], 8);
    const std::string cut = (dir / "a.png") + std::string("\0.jpg", 5);
    EXPECT_EQ(failureOf([&] { attachments::processImage(common::Json::object(), cut, "inspect"); }),
              kUnsupported);
}

TEST(ImageInput, AFifoSwappedInUnderTheNameNeverHoldsTheRun) {
    ScratchDir dir;
    writePng(dir / "input.png", noise(40, 30));
    ASSERT_EQ(::mkfifo((dir / "other").c_str(), 0600), 0);
    const attachments::testing::NameSwapper swapper(dir / "input.png", dir / "other");
    int reports = 0;
    // At least 300 runs, and on until the names have been exchanged 300 times meanwhile.
    for (int run = 0; run < 300 || (swapper.swaps() < 300 && run < 100000); ++run) {
        const auto failure = failureOf([&] {
            const common::Json report = inspect(dir / "input.png");
            EXPECT_EQ(report["width"], 40);
            ++reports;
        });
        if (failure) {
            EXPECT_EQ(*failure, kUnsupported);
        }
    }
    EXPECT_GE(swapper.swaps(), 300);
    RecordProperty("reports", reports);
}

struct CutCase {
    const char* name;
    void (*write)(const std::filesystem::path&, const Picture&);
    bool wholeAtOpening; // the decoder holds every byte once the header has been read
};

const CutCase kCutCases[] = {
    {"cut.webp", [](const auto& path, const Picture& p) { writeWebp(path, p); }, true},
    {"cut.tif", [](const auto& path, const Picture& p) { writeTiff(path, p); }, false},
    {"cut-strip.tif",
     [](const auto& path, const Picture& p) { writeTiff(path, p, {.rowsPerStrip = 0}); }, false},
    {"cut.png", [](const auto& path, const Picture& p) { writePng(path, p); }, false},
    {"cut.jpg", [](const auto& path, const Picture& p) { writeJpeg(path, p); }, false},
    {"cut.gif",
     [](const auto& path, const Picture& p) {
         writeGif(path, p.width, p.height, {{makePicture(p.width, p.height, [&](int x, int y) {
                      return Rgba{static_cast<std::uint8_t>(p.at(x, y).r & 0xC0), 0, 0, 255};
                  })}});
     },
     false},
};

TEST(ImageInput, AFileCutShortAfterOpeningEndsWithAMessage) {
    ScratchDir dir;
    const Picture picture = noise(600, 400);
    for (const CutCase& c : kCutCases) {
        SCOPED_TRACE(c.name);
        c.write(dir / c.name, picture);
        const auto decoder = attachments::openImage(dir / c.name);
        // The header has been read; now most of the pixel data goes away.
        ASSERT_EQ(::truncate((dir / c.name).c_str(), 300), 0);
        const auto failure = failureOf([&] { attachments::preparePicture(*decoder); });
        EXPECT_EQ(failure,
                  c.wholeAtOpening ? std::nullopt : std::optional<std::string>(kCannotPrepare));
    }
}

} // namespace
