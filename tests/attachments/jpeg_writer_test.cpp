#include "attachments/failure.h"
#include "attachments/jpeg_writer.h"
#include "tests/support/jpeg_decode.h"
#include "tests/support/scratch_dir.h"

#include <csignal>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace attachments {
namespace {

using test_support::ScratchDir;
namespace fs = std::filesystem;

// A picture whose left half is red and right half blue, with padding after each row.
struct Picture {
    int width, height;
    std::size_t stride;
    std::vector<unsigned char> bytes;

    Picture(int w, int h) : width(w), height(h), stride(std::size_t(w) * 3 + 5) {
        bytes.assign(stride * h, 0x55);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                unsigned char* p = &bytes[y * stride + x * 3];
                bool left = x < w / 2;
                p[0] = left ? 255 : 0;
                p[1] = 0;
                p[2] = left ? 0 : 255;
            }
    }
    RgbView view() const { return {bytes.data(), width, height, stride}; }
};

std::string failureOf(const RgbView& image, const std::string& path) {
    try {
        writeImage(image, path);
    } catch (const Failure& failure) {
        return failure.message;
    }
    return "";
}

TEST(WriteImage, WritesAJpegThatDecodesToThePicture) {
    ScratchDir dir;
    Picture picture(64, 30);
    writeImage(picture.view(), dir / "page-1.jpg");
    auto jpeg = test_support::readJpeg(dir / "page-1.jpg");
    ASSERT_TRUE(jpeg);
    EXPECT_EQ(jpeg->width, 64);
    EXPECT_EQ(jpeg->height, 30);
    auto red = jpeg->at(8, 15), blue = jpeg->at(56, 15);
    EXPECT_GT(red.r, 230);
    EXPECT_LT(red.b, 30);
    EXPECT_GT(blue.b, 230);
    EXPECT_LT(blue.r, 30);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"page-1.jpg"}); // no temporary left
}

TEST(WriteImage, CreatesTheFileWithTheUsualModeLessTheUmask) {
    ScratchDir dir;
    mode_t old = ::umask(027);
    writeImage(Picture(4, 4).view(), dir / "image.jpg");
    ::umask(old);
    EXPECT_EQ(fs::status(dir / "image.jpg").permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST(WriteImage, ReplacesAnExistingFile) {
    ScratchDir dir;
    test_support::writeFile(dir / "image.jpg", "old contents");
    writeImage(Picture(10, 8).view(), dir / "image.jpg");
    auto jpeg = test_support::readJpeg(dir / "image.jpg");
    ASSERT_TRUE(jpeg);
    EXPECT_EQ(jpeg->width, 10);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"image.jpg"});
}

TEST(WriteImage, ReplacesAPlantedSymbolicLinkWithoutWritingThroughIt) {
    ScratchDir dir, elsewhere;
    std::string victim = elsewhere / "precious.txt";
    test_support::writeFile(victim, "keep me");
    fs::create_symlink(victim, dir / "page-2.jpg");

    writeImage(Picture(12, 12).view(), dir / "page-2.jpg");

    EXPECT_EQ(test_support::readFile(victim), "keep me");
    EXPECT_EQ(fs::symlink_status(dir / "page-2.jpg").type(), fs::file_type::regular);
    EXPECT_TRUE(test_support::readJpeg(dir / "page-2.jpg"));
}

TEST(WriteImage, CannotPrepareWhereNoFileCanBeCreated) {
    ScratchDir dir;
    test_support::writeFile(dir / "plain-file", "x");
    const std::string paths[] = {dir / "missing/image.jpg", dir / "plain-file/image.jpg",
                                 dir.path().string() + "/", std::string("a\0b", 3), ""};
    for (const auto& path : paths)
        EXPECT_EQ(failureOf(Picture(4, 4).view(), path), "Cannot prepare image") << path;
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"plain-file"});
}

// Runs `attempt` as an ordinary user: in a child process that gives up root, as
// permissions do not bind root.
bool asOrdinaryUser(const std::function<bool()>& attempt) {
    if (::geteuid() != 0) return attempt();
    pid_t child = ::fork();
    if (child < 0) return false;
    if (child == 0) {
        bool ok = ::setgid(65534) == 0 && ::setuid(65534) == 0 && attempt();
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    return ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(WriteImage, CannotPrepareInADirectoryWithoutWritePermission) {
    ScratchDir dir;
    fs::create_directory(dir / "locked");
    fs::permissions(dir.path(), fs::perms::others_read | fs::perms::others_exec,
                    fs::perm_options::add);
    fs::permissions(dir / "locked", fs::perms::owner_read | fs::perms::owner_exec |
                                        fs::perms::others_read | fs::perms::others_exec);
    EXPECT_TRUE(asOrdinaryUser([&] {
        return failureOf(Picture(4, 4).view(), dir / "locked/image.jpg") == "Cannot prepare image";
    }));
    EXPECT_TRUE(fs::is_empty(dir / "locked"));
}

TEST(WriteImage, CannotWriteAPictureTheEncoderRefusesAndLeavesNoTemporary) {
    ScratchDir dir;
    Picture picture(8, 8);
    RgbView badStride{picture.bytes.data(), 8, 8, 8}; // rows shorter than their pixels
    RgbView noPixels{nullptr, 8, 8, 24};
    RgbView empty{picture.bytes.data(), 0, 8, 24};
    for (const RgbView& view : {badStride, noPixels, empty})
        EXPECT_EQ(failureOf(view, dir / "image.jpg"), "Cannot write image");
    EXPECT_TRUE(dir.entries().empty());
}

TEST(WriteImage, CannotWriteWhenTheRenameFailsAndLeavesNoTemporary) {
    ScratchDir dir;
    fs::create_directories(dir / "image.jpg/occupied");
    EXPECT_EQ(failureOf(Picture(4, 4).view(), dir / "image.jpg"), "Cannot write image");
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"image.jpg"});
    EXPECT_TRUE(fs::is_directory(dir / "image.jpg"));
}

// Limits the size of files this process may write, for the life of the object.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
        previous_ = std::signal(SIGXFSZ, SIG_IGN); // a failed write, not a killed process
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_);
    }

private:
    rlimit saved_{};
    void (*previous_)(int) = nullptr;
};

TEST(WriteImage, AFailedWriteLeavesTheOldFileWholeAndNoTemporary) {
    ScratchDir dir;
    test_support::writeFile(dir / "image.jpg", "the previous image");
    Picture noisy(200, 200);
    for (std::size_t i = 0; i < noisy.bytes.size(); ++i)
        noisy.bytes[i] = (i * 7919) % 251;
    {
        FileSizeLimit limit(1000);
        EXPECT_EQ(failureOf(noisy.view(), dir / "image.jpg"), "Cannot write image");
    }
    EXPECT_EQ(test_support::readFile(dir / "image.jpg"), "the previous image");
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"image.jpg"});
}

} // namespace
} // namespace attachments
