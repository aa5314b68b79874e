// The bundle-seal tool as a process: its commands, output and exit statuses.
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include "bundle_fixture.h"

namespace host::bundles {
namespace {

using testing::makeBundle;
using testing::readFile;
using testing::TempDir;
using testing::writeFile;

struct ToolRun {
    int status;
    std::string out;
    std::string err;
};

class SealToolTest : public ::testing::Test {
protected:
    ToolRun run(const std::string& arguments) {
        const std::string out = dir.path() + "/out.txt";
        std::string command = std::string(BUNDLE_SEAL_PATH) + " " + arguments + " >" + out + " 2>" +
                              dir.path() + "/err.txt";
        int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(out),
                readFile(dir.path() + "/err.txt")};
    }
    TempDir dir;
};

TEST_F(SealToolTest, SealsAdHocAndVerifies) {
    const std::string app = makeBundle(dir.path(), "Tool.app");
    EXPECT_EQ(run("verify " + app).status, 1); // not sealed yet
    ASSERT_EQ(run("seal " + app).status, 0);
    ToolRun verified = run("verify " + app);
    EXPECT_EQ(verified.status, 0);
    EXPECT_NE(verified.out.find("identifier: com.example.Sample\n"), std::string::npos);
    EXPECT_NE(verified.out.find("team: (none: ad hoc)\n"), std::string::npos);
    EXPECT_NE(verified.out.find("requirement: cdhash H\""), std::string::npos);
    EXPECT_NE(verified.out.find("valid: yes\n"), std::string::npos);

    writeFile(app + "/Contents/Resources/strings.txt", "changed");
    ToolRun broken = run("verify " + app);
    EXPECT_EQ(broken.status, 1);
    EXPECT_NE(broken.out.find("valid: no (sealed file modified: Contents/Resources/strings.txt)"),
              std::string::npos)
        << broken.out;
}

TEST_F(SealToolTest, KeygenThenSignedSeal) {
    const std::string app = makeBundle(dir.path(), "Tool.app");
    const std::string key = dir.path() + "/team.pem";
    ToolRun made = run("keygen " + key);
    ASSERT_EQ(made.status, 0);
    ASSERT_EQ(made.out.rfind("team: ", 0), 0u);
    const std::string team = made.out.substr(6, 10);
    ASSERT_EQ(run("seal " + app + " --key " + key).status, 0);
    ToolRun verified = run("verify " + app);
    EXPECT_EQ(verified.status, 0);
    EXPECT_NE(verified.out.find("team: " + team + "\n"), std::string::npos);
    EXPECT_NE(verified.out.find("requirement: identifier \"com.example.Sample\" and certificate "
                                "leaf[subject.OU] = \"" +
                                team + "\"\n"),
              std::string::npos)
        << verified.out;
}

TEST_F(SealToolTest, RefusesWhatTheHostWouldRejectAndSaysWhy) {
    const std::string app = makeBundle(dir.path(), "Tool.app");
    const std::string root = std::filesystem::canonical(app).string();
    std::filesystem::permissions(app + "/Contents/MacOS", std::filesystem::perms::others_write,
                                 std::filesystem::perm_options::add);
    ToolRun refused = run("seal " + app);
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.out, "");
    EXPECT_EQ(refused.err, "bundle-seal: " + root + ": writable by anyone: Contents/MacOS\n");
    EXPECT_EQ(run("verify " + app).status, 1);

    std::filesystem::permissions(app + "/Contents/MacOS", std::filesystem::perms::others_write,
                                 std::filesystem::perm_options::remove);
    std::filesystem::permissions(app + "/Contents/Resources/strings.txt",
                                 std::filesystem::perms::set_uid,
                                 std::filesystem::perm_options::add);
    refused = run("seal " + app);
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err, "bundle-seal: " + root +
                               ": file carries set-id bits or capabilities: "
                               "Contents/Resources/strings.txt\n");

    // Mended, it seals, and the host's own check agrees.
    std::filesystem::permissions(app + "/Contents/Resources/strings.txt",
                                 std::filesystem::perms::set_uid,
                                 std::filesystem::perm_options::remove);
    EXPECT_EQ(run("seal " + app).status, 0);
    ToolRun verified = run("verify " + app);
    EXPECT_EQ(verified.status, 0);
    EXPECT_NE(verified.out.find("valid: yes\n"), std::string::npos);

    // A file whose executable bit changes after sealing breaks the seal.
    std::filesystem::permissions(app + "/Contents/Resources/strings.txt",
                                 std::filesystem::perms::owner_exec,
                                 std::filesystem::perm_options::add);
    ToolRun broken = run("verify " + app);
    EXPECT_EQ(broken.status, 1);
    EXPECT_NE(broken.out.find("valid: no (executable bit of a sealed file changed: "
                              "Contents/Resources/strings.txt)"),
              std::string::npos)
        << broken.out;
}

TEST_F(SealToolTest, RefusesBadInput) {
    const std::string app = makeBundle(dir.path(), "Tool.app");
    writeFile(dir.path() + "/junk.pem", "not a key");
    EXPECT_EQ(run("seal " + app + " --key " + dir.path() + "/junk.pem").status, 1);
    EXPECT_EQ(run("seal " + dir.path() + "/missing.app").status, 1);
    EXPECT_EQ(run("").status, 2);
    EXPECT_EQ(run("sign " + app).status, 2);
    EXPECT_EQ(run("seal " + app + " --kee x").status, 2);
}

} // namespace
} // namespace host::bundles
