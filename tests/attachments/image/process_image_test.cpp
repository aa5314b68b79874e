// The image path as the job driver sees it: report, refusals and their order, output.
#include "image_test_support.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace fixtures;

namespace {

Picture gradient(int width, int height) {
    return makePicture(width, height, [&](int x, int y) {
        return Rgba{static_cast<std::uint8_t>(x * 255 / width),
                    static_cast<std::uint8_t>(y * 255 / height), 128, 255};
    });
}

class ProcessImage : public ::testing::Test {
protected:
    ScratchDir dir;
};

TEST_F(ProcessImage, InspectionReportsStoredSizeAndWritesNothing) {
    writeJpeg(dir / "a.jpg", gradient(64, 48));
    writePng(dir / "b.png", gradient(30, 70));
    EXPECT_EQ(inspect(dir / "a.jpg"),
              (common::Json{{"kind", "image"}, {"width", 64}, {"height", 48}}));
    EXPECT_EQ(inspect(dir / "b.png"),
              (common::Json{{"kind", "image"}, {"width", 30}, {"height", 70}}));
    // Any operation but "prepare" is an inspection, even with an output present.
    const common::Json job = {{"output", dir.path().string()}};
    EXPECT_FALSE(attachments::processImage(job, dir / "a.jpg", "").contains("items"));
    EXPECT_FALSE(attachments::processImage(job, dir / "a.jpg", "Prepare").contains("items"));
    EXPECT_FALSE(std::filesystem::exists(dir / "image.jpg"));
}

TEST_F(ProcessImage, PrepareReportsTheItemAndWritesImageJpg) {
    writePng(dir / "in.png", gradient(80, 60));
    const common::Json job = {{"output", dir.path().string()}};
    const common::Json report = attachments::processImage(job, dir / "in.png", "prepare");
    EXPECT_EQ(
        common::compact(report),
        R"({"height":60,"items":[{"file":"image.jpg","page":0,"text":""}],"kind":"image","width":80})");
    const Decoded out = readJpeg(dir / "image.jpg");
    EXPECT_EQ(out.width, 80);
    EXPECT_EQ(out.height, 60);
    // Preparing again replaces the file and reports the same.
    writePng(dir / "in.png", gradient(80, 60));
    EXPECT_EQ(attachments::processImage(job, dir / "in.png", "prepare"), report);
}

TEST_F(ProcessImage, FormatIsRecognisedByContentNotName) {
    writePng(dir / "really-a-png.jpg", gradient(20, 10));
    writeJpeg(dir / "noextension", gradient(12, 34));
    EXPECT_EQ(inspect(dir / "really-a-png.jpg")["width"], 20);
    EXPECT_EQ(inspect(dir / "noextension")["height"], 34);
}

TEST_F(ProcessImage, FilesThatAreNoImageAreRefused) {
    writeBytes(dir / "empty", {});
    writeBytes(dir / "text.png", {'h', 'e', 'l', 'l', 'o', '\n'});
    auto truncatedHeader = pngBytes(gradient(10, 10));
    truncatedHeader.resize(20);
    writeBytes(dir / "short.png", truncatedHeader);
    for (const char* name : {"empty", "text.png", "short.png", "missing.jpg"})
        EXPECT_EQ(failureOf([&] { inspect(dir / name); }), kUnsupported) << name;
    EXPECT_EQ(failureOf([&] { inspect(dir.path()); }), kUnsupported) << "a directory";
    // A named pipe or a device would block or never end: only plain files are opened.
    ASSERT_EQ(::mkfifo((dir / "pipe.png").c_str(), 0600), 0);
    EXPECT_EQ(failureOf([&] { inspect(dir / "pipe.png"); }), kUnsupported) << "a pipe";
    EXPECT_EQ(failureOf([&] { inspect("/dev/zero"); }), kUnsupported) << "a device";
}

TEST_F(ProcessImage, PixelCapIsCheckedOnTheStoredHeaderSize) {
    // Header-only files: the cap is applied before any pixel data is looked at.
    writeBytes(dir / "exact.png", pngHeaderOnly(8000, 5000));
    writeBytes(dir / "over.png", pngHeaderOnly(8001, 5000));
    writeBytes(dir / "tall.png", pngHeaderOnly(1, 40'000'001));
    EXPECT_EQ(inspect(dir / "exact.png"),
              (common::Json{{"kind", "image"}, {"width", 8000}, {"height", 5000}}));
    EXPECT_EQ(failureOf([&] { inspect(dir / "over.png"); }), kUnsupported);
    EXPECT_EQ(failureOf([&] { inspect(dir / "tall.png"); }), kUnsupported);
    // 8000 × 5000 passes the size test, but has no pixel data to prepare.
    EXPECT_EQ(failureOf([&] { prepare(dir / "exact.png", dir.path()); }), kCannotPrepare);
}

TEST_F(ProcessImage, OutputIsLookedUpOnlyAfterTheImageTests) {
    writeJpeg(dir / "ok.jpg", gradient(16, 16));
    writeBytes(dir / "over.png", pngHeaderOnly(8001, 5000));
    const common::Json noOutput = common::Json::object();
    const common::Json numberOutput = {{"output", 7}};
    EXPECT_EQ(failureOf([&] { attachments::processImage(noOutput, dir / "ok.jpg", "prepare"); }),
              kCannotPrepare);
    EXPECT_EQ(
        failureOf([&] { attachments::processImage(numberOutput, dir / "ok.jpg", "prepare"); }),
        kCannotPrepare);
    EXPECT_EQ(failureOf([&] { attachments::processImage(noOutput, dir / "over.png", "prepare"); }),
              kUnsupported);
    EXPECT_EQ(attachments::processImage(noOutput, dir / "ok.jpg", "inspect")["width"], 16);
}

TEST_F(ProcessImage, DamagedPixelDataFailsOnlyWhenPrepared) {
    const Picture picture = gradient(256, 256);
    writeJpeg(dir / "whole.jpg", picture, {.quality = 90});
    auto jpeg = readBytes(dir / "whole.jpg");
    jpeg.resize(jpeg.size() / 2);
    writeBytes(dir / "truncated.jpg", jpeg);

    auto png = pngBytes(picture);
    png.resize(png.size() * 2 / 3);
    writeBytes(dir / "truncated.png", png);
    auto corrupt = pngBytes(picture);
    corrupt[corrupt.size() / 2] ^= 0x55; // inside IDAT: the CRC no longer matches
    writeBytes(dir / "corrupt.png", corrupt);

    for (const char* name : {"truncated.jpg", "truncated.png", "corrupt.png"}) {
        EXPECT_EQ(inspect(dir / name)["width"], 256) << name;
        EXPECT_EQ(failureOf([&] { prepare(dir / name, dir.path()); }), kCannotPrepare) << name;
        EXPECT_FALSE(std::filesystem::exists(dir / "image.jpg")) << name;
    }
}

TEST_F(ProcessImage, MissingOutputDirectoryFailsInTheWriter) {
    writeJpeg(dir / "ok.jpg", gradient(16, 16));
    EXPECT_EQ(failureOf([&] { prepare(dir / "ok.jpg", dir / "absent"); }), kCannotPrepare);
}

} // namespace
