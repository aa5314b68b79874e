// The input file is opened once, only when it is a regular file, never waiting; what is
// read afterwards comes from that file, whatever happens to its name.
#include "attachments/input_file.h"
#include "tests/support/scratch_dir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace attachments {
namespace {

using test_support::ScratchDir;
namespace fs = std::filesystem;

std::string readAll(const InputFile& file) {
    std::string bytes(file.size() + 16, '\0');
    const auto got = file.readAt(0, bytes.data(), bytes.size());
    if (!got) return "<error>";
    bytes.resize(*got);
    return bytes;
}

TEST(InputFile, OpensOnlyRegularFilesAndNeverWaits) {
    ScratchDir dir;
    test_support::writeFile(dir / "plain", "contents");
    fs::create_symlink(dir / "plain", dir / "link");
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    fs::create_directory(dir / "folder");
    struct Case {
        std::string path;
        bool opens;
    } cases[] = {
        {dir / "plain", true},
        {dir / "link", true},  // a link to a regular file is that file
        {dir / "pipe", false}, // without a writer, a blocking open would wait for ever
        {dir / "folder", false},
        {"/dev/null", false},
        {"/dev/zero", false},
        {dir / "missing", false},
        {dir / "plain" + std::string("\0.png", 5), false}, // the NUL names no file
        {"", false},
    };
    for (const Case& c : cases) {
        const auto file = InputFile::open(c.path);
        EXPECT_EQ(file.has_value(), c.opens) << c.path;
        if (file) {
            EXPECT_EQ(readAll(*file), "contents");
        }
    }
}

TEST(InputFile, ReadsAtAnyOffsetAndShortOnlyAtTheEnd) {
    ScratchDir dir;
    test_support::writeFile(dir / "digits", "0123456789");
    const auto file = InputFile::open(dir / "digits");
    ASSERT_TRUE(file);
    EXPECT_EQ(file->size(), 10u);
    char buffer[8] = {};
    EXPECT_EQ(file->readAt(3, buffer, 4), 4u);
    EXPECT_EQ(std::string(buffer, 4), "3456");
    EXPECT_EQ(file->readAt(8, buffer, 8), 2u);
    EXPECT_EQ(std::string(buffer, 2), "89");
    EXPECT_EQ(file->readAt(10, buffer, 8), 0u);
    EXPECT_EQ(file->readAt(1u << 30, buffer, 8), 0u);

    InputCursor cursor(*file);
    EXPECT_EQ(cursor.read(buffer, 6), 6u);
    EXPECT_EQ(cursor.read(buffer, 8), 4u);
    EXPECT_EQ(std::string(buffer, 4), "6789");
    EXPECT_EQ(cursor.position(), 10u);
    cursor.seek(1);
    EXPECT_EQ(cursor.read(buffer, 2), 2u);
    EXPECT_EQ(std::string(buffer, 2), "12");
}

TEST(InputFile, ACursorReadsInAnyMixOfSizesAndSeeksAsTheFileSays) {
    ScratchDir dir;
    std::string bytes(300000, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>((i * 131) ^ (i >> 8));
    test_support::writeFile(dir / "input", bytes);
    const auto file = InputFile::open(dir / "input");
    ASSERT_TRUE(file);
    InputCursor cursor(*file);
    std::string got(100000, '\0');
    std::uint64_t at = 0;
    // Bytes and blocks as giflib asks for them, reads longer than the buffer, seeks
    // backwards into what was read ahead and forwards past it.
    const struct {
        std::int64_t seekTo; // -1: read on
        std::size_t length;
    } steps[] = {{-1, 1},      {-1, 255},   {-1, 70000}, {10, 5},      {-1, 65536},
                 {299990, 64}, {200000, 3}, {65530, 20}, {-1, 100000}, {0, 1}};
    for (const auto& step : steps) {
        if (step.seekTo >= 0) {
            cursor.seek(static_cast<std::uint64_t>(step.seekTo));
            at = static_cast<std::uint64_t>(step.seekTo);
        }
        const std::size_t n = cursor.read(got.data(), step.length);
        const std::size_t want = std::min<std::size_t>(step.length, bytes.size() - at);
        ASSERT_EQ(n, want) << "at " << at;
        EXPECT_EQ(got.substr(0, n), bytes.substr(at, n)) << "at " << at;
        at += n;
        EXPECT_EQ(cursor.position(), at);
    }
}

TEST(InputFile, KeepsReadingTheFileItOpenedWhateverIsDoneToTheName) {
    ScratchDir dir;
    test_support::writeFile(dir / "input", "the original");
    const auto file = InputFile::open(dir / "input");
    ASSERT_TRUE(file);
    // Replaced by a FIFO, then by another file: the descriptor still reads the original.
    fs::remove(dir / "input");
    ASSERT_EQ(::mkfifo((dir / "input").c_str(), 0600), 0);
    EXPECT_EQ(readAll(*file), "the original");
    fs::remove(dir / "input");
    test_support::writeFile(dir / "input", "an impostor");
    EXPECT_EQ(readAll(*file), "the original");
}

TEST(InputFile, AFileCutShortWhileOpenGivesShortReads) {
    ScratchDir dir;
    test_support::writeFile(dir / "input", std::string(100000, 'x'));
    const auto file = InputFile::open(dir / "input");
    ASSERT_TRUE(file);
    ASSERT_EQ(::truncate((dir / "input").c_str(), 1000), 0);
    EXPECT_EQ(file->size(), 100000u); // as it was when opened
    EXPECT_EQ(readAll(*file).size(), 1000u);
}

TEST(InputFile, MovesItsDescriptorAndClosesItOnce) {
    ScratchDir dir;
    test_support::writeFile(dir / "input", "abc");
    auto first = InputFile::open(dir / "input");
    ASSERT_TRUE(first);
    const int fd = first->descriptor();
    InputFile moved = std::move(*first);
    EXPECT_EQ(moved.descriptor(), fd);
    EXPECT_EQ(first->descriptor(), -1);
    EXPECT_EQ(readAll(moved), "abc");
    first.reset();
    EXPECT_EQ(::fcntl(fd, F_GETFD), FD_CLOEXEC); // still open, once
}

} // namespace
} // namespace attachments
