// Output files reach their name whole: unnamed while written where the filesystem allows
// it, or under a hidden name otherwise; a planted link is replaced, not followed; a file
// given up or a run killed while writing leaves nothing behind (a hidden name only where
// the filesystem cannot do without one).
#include "attachments/output_file.h"
#include "tests/support/scratch_dir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace attachments {
namespace {

using test_support::ScratchDir;
namespace fs = std::filesystem;

bool put(const std::string& target, const std::string& contents, bool allowUnnamed) {
    auto file = OutputFile::create(target, allowUnnamed);
    return file &&
           file->write(reinterpret_cast<const unsigned char*>(contents.data()), contents.size()) &&
           file->commit();
}

class OutputFileModes : public ::testing::TestWithParam<bool> {
protected:
    bool allowUnnamed() const { return GetParam(); }
    ScratchDir dir;
};

TEST_P(OutputFileModes, PutsTheFileInPlaceAndNothingElse) {
    auto file = OutputFile::create(dir / "page-1.jpg", allowUnnamed());
    ASSERT_TRUE(file);
    if (allowUnnamed() && !file->unnamed()) GTEST_SKIP() << "no O_TMPFILE on this filesystem";
    ASSERT_TRUE(file->write(reinterpret_cast<const unsigned char*>("jpeg"), 4));
    // Until it is committed, an unnamed file is nowhere to be seen.
    EXPECT_EQ(dir.entries().size(), allowUnnamed() ? 0u : 1u);
    ASSERT_TRUE(file->commit());
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"page-1.jpg"});
    EXPECT_EQ(test_support::readFile(dir / "page-1.jpg"), "jpeg");
}

TEST_P(OutputFileModes, ReplacesAFileOrAPlantedLinkWithoutWritingThroughIt) {
    ScratchDir elsewhere;
    test_support::writeFile(elsewhere / "precious", "keep me");
    fs::create_symlink(elsewhere / "precious", dir / "link.jpg");
    fs::create_symlink(elsewhere / "absent", dir / "dangling.jpg");
    test_support::writeFile(dir / "old.jpg", "old");
    for (const char* name : {"link.jpg", "dangling.jpg", "old.jpg"}) {
        ASSERT_TRUE(put(dir / name, "new", allowUnnamed())) << name;
        EXPECT_EQ(fs::symlink_status(dir / name).type(), fs::file_type::regular) << name;
        EXPECT_EQ(test_support::readFile(dir / name), "new") << name;
    }
    EXPECT_EQ(test_support::readFile(elsewhere / "precious"), "keep me");
    EXPECT_FALSE(fs::exists(elsewhere / "absent"));
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"dangling.jpg", "link.jpg", "old.jpg"}));
}

TEST_P(OutputFileModes, AFileGivenUpOrRefusedItsPlaceLeavesNothingNew) {
    test_support::writeFile(dir / "image.jpg", "previous");
    {
        auto file = OutputFile::create(dir / "image.jpg", allowUnnamed());
        ASSERT_TRUE(file);
        ASSERT_TRUE(file->write(reinterpret_cast<const unsigned char*>("half"), 4));
    }
    fs::create_directories(dir / "taken.jpg/occupied");
    EXPECT_FALSE(put(dir / "taken.jpg", "x", allowUnnamed()));
    EXPECT_EQ(test_support::readFile(dir / "image.jpg"), "previous");
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"image.jpg", "taken.jpg"}));
}

TEST_P(OutputFileModes, NoFileWhereNoneCanBeCreated) {
    test_support::writeFile(dir / "plain", "x");
    for (const std::string& target :
         {dir / "missing/image.jpg", dir / "plain/image.jpg", dir.path().string() + "/", dir / "..",
          std::string("a\0b", 3), std::string()})
        EXPECT_FALSE(OutputFile::create(target, allowUnnamed())) << target;
}

INSTANTIATE_TEST_SUITE_P(UnnamedAndNamed, OutputFileModes, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Unnamed" : "Named"; });

// Writes `size` bytes to `target` in a child process whose file size limit kills it
// (SIGXFSZ) halfway; true when it died so.
bool killedWhileWriting(const std::string& target, bool allowUnnamed) {
    const pid_t child = ::fork();
    if (child < 0) return false;
    if (child == 0) {
        const rlimit none{0, 0}, small{4096, 4096};
        ::setrlimit(RLIMIT_CORE, &none);
        ::setrlimit(RLIMIT_FSIZE, &small);
        std::signal(SIGXFSZ, SIG_DFL);
        auto file = OutputFile::create(target, allowUnnamed);
        const std::vector<unsigned char> bytes(65536, 0x5A);
        if (file) file->write(bytes.data(), bytes.size());
        ::_exit(0); // not reached when the limit kills it
    }
    int status = 0;
    return ::waitpid(child, &status, 0) == child && WIFSIGNALED(status) &&
           WTERMSIG(status) == SIGXFSZ;
}

TEST(OutputFile, ARunKilledWhileWritingLeavesNoFileBehindWhenUnnamed) {
    ScratchDir dir;
    if (!OutputFile::create(dir / "probe")->unnamed()) GTEST_SKIP() << "no O_TMPFILE here";
    test_support::writeFile(dir / "page-1.jpg", "previous");
    ASSERT_TRUE(killedWhileWriting(dir / "page-1.jpg", true));
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"page-1.jpg"});
    EXPECT_EQ(test_support::readFile(dir / "page-1.jpg"), "previous");
    // Under a hidden name, as where O_TMPFILE is missing, the kill leaves that name behind.
    ASSERT_TRUE(killedWhileWriting(dir / "page-1.jpg", false));
    EXPECT_EQ(dir.entries().size(), 2u);
}

} // namespace
} // namespace attachments
