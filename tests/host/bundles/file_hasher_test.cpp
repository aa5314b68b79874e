// Hashing many files on both workers: every result lands at its own file's index, and
// anything that is not a readable regular file yields nothing (without blocking).
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "bundle_fixture.h"
#include "host/platform/linux/bundles/file_hasher.h"

namespace host::bundles {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;
using testing::writeFile;

TEST(FileHasher, ResultsFollowTheGivenOrder) {
    TempDir dir;
    std::vector<FileToHash> files;
    std::vector<std::string> contents;
    // Sizes that make the big-first schedule differ from the given order.
    for (int i = 0; i < 200; ++i) {
        std::string text(static_cast<std::size_t>((i * 7919) % 300000 / (i % 5 + 1)),
                         static_cast<char>('a' + i % 26));
        text += std::to_string(i);
        const std::string path = dir.path() + "/f" + std::to_string(i);
        writeFile(path, text);
        files.push_back({path, text.size()});
        contents.push_back(std::move(text));
    }
    auto digests = hashFiles(files);
    ASSERT_EQ(digests.size(), files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        ASSERT_TRUE(digests[i]) << i;
        EXPECT_EQ(*digests[i], sha256(contents[i])) << i;
    }
}

TEST(FileHasher, OnlyRegularFilesAreHashed) {
    TempDir dir;
    writeFile(dir.path() + "/plain", "abc");
    fs::create_symlink("plain", dir.path() + "/link");
    ASSERT_EQ(::mkfifo((dir.path() + "/fifo").c_str(), 0600), 0);
    fs::create_directory(dir.path() + "/folder");
    auto digests = hashFiles({{dir.path() + "/plain", 3},
                              {dir.path() + "/link", 3},
                              {dir.path() + "/fifo", 0},
                              {dir.path() + "/folder", 0},
                              {dir.path() + "/missing", 0}});
    ASSERT_EQ(digests.size(), 5u);
    EXPECT_EQ(digests[0], sha256(std::string_view("abc")));
    for (std::size_t i = 1; i < digests.size(); ++i)
        EXPECT_FALSE(digests[i]) << i;
    EXPECT_TRUE(hashFiles({}).empty());
}

TEST(Sha256, KnownValueAndHexRoundTrip) {
    Digest empty = sha256(std::string_view(""));
    EXPECT_EQ(toHex(empty), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(digestFromHex(toHex(empty)), empty);
    EXPECT_FALSE(digestFromHex("e3b0"));
    EXPECT_FALSE(digestFromHex(std::string(63, '0') + "g"));
}

} // namespace
} // namespace host::bundles
