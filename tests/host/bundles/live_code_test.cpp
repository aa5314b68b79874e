// Running processes: live validity through /proc/PID/exe, the workspace's running
// applications, and the bundle a process runs from.
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "bundle_fixture.h"
#include "host/platform/linux/bundles/linux_bundle_port.h"
#include "host/platform/linux/bundles/linux_code_signing_port.h"
#include "host/platform/linux/bundles/linux_workspace_port.h"
#include "host/platform/linux/bundles/process_bundle.h"
#include "host/platform/linux/bundles/seal.h"
#include "host/platform/linux/bundles/seal_writer.h"

namespace host::bundles {
namespace {

// Unique to this test process: ctest runs the cases side by side, and the workspace sees
// every running instance of an identifier.
const std::string liveId = "com.example.Live" + std::to_string(::getpid());

namespace fs = std::filesystem;
using testing::copyFile;
using testing::makeBundle;
using testing::TempDir;
using testing::writeFile;

// A child running `program` (a copy of sleep), killed and reaped on every path.
class Child {
public:
    explicit Child(const std::string& program) : program_(program) {
        pid_ = ::fork();
        if (pid_ == 0) {
            ::execl(program.c_str(), program.c_str(), "30", static_cast<char*>(nullptr));
            ::_exit(127);
        }
    }
    ~Child() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t pid() const { return pid_; }
    // True once the child runs `program` (the exec has happened).
    bool started() const {
        for (int i = 0; i < 400; ++i) {
            auto executable = processExecutable(pid_);
            if (executable && executable->path == program_) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }

private:
    std::string program_;
    pid_t pid_ = -1;
};

class LiveCodeTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing::BundleSpec spec;
        spec.identifier = liveId;
        spec.executable = "Sleeper";
        bundle = makeBundle(dir.path(), "Live.app", spec);
        executable = bundle + "/Contents/MacOS/Sleeper";
        ASSERT_TRUE(sealBundle(bundle, nullptr).ok);
    }

    std::unique_ptr<platform::Requirement> designated() {
        auto opened = bundles.open(bundle);
        auto code = opened ? port.createStaticCode(bundle, *opened) : nullptr;
        auto text = code ? port.designatedRequirement(*code) : std::nullopt;
        return text ? port.compileRequirement(*text) : nullptr;
    }

    bool liveValid(pid_t pid, const platform::Requirement& requirement) {
        auto live = port.liveCode(pid);
        return live && port.checkLiveValidity(*live, requirement);
    }

    TempDir dir;
    std::string bundle;
    std::string executable;
    LinuxBundlePort bundles;
    LinuxCodeSigningPort port;
};

TEST_F(LiveCodeTest, RunningSealedProcessIsValid) {
    auto requirement = designated();
    ASSERT_TRUE(requirement);
    Child child(executable);
    ASSERT_TRUE(child.started());
    EXPECT_TRUE(liveValid(child.pid(), *requirement));

    auto other = port.compileRequirement("identifier \"" + liveId +
                                         "\" and cdhash "
                                         "H\"" +
                                         std::string(64, '0') + "\"");
    ASSERT_TRUE(other);
    EXPECT_FALSE(liveValid(child.pid(), *other));
    auto byIdentifier = port.compileRequirement("identifier \"" + liveId + "\"");
    EXPECT_TRUE(liveValid(child.pid(), *byIdentifier));
}

TEST_F(LiveCodeTest, SignedProcessMeetsItsTeamRequirement) {
    PrivateKey key = generateSigningKey();
    ASSERT_TRUE(sealBundle(bundle, &key).ok);
    auto requirement = designated();
    ASSERT_TRUE(requirement);
    Child child(executable);
    ASSERT_TRUE(child.started());
    EXPECT_TRUE(liveValid(child.pid(), *requirement));
    auto otherTeam = port.compileRequirement(
        "identifier \"" + liveId + "\" and certificate leaf[subject.OU] = \"AAAAAAAAAA\"");
    EXPECT_FALSE(liveValid(child.pid(), *otherTeam));
}

TEST_F(LiveCodeTest, BundleModifiedAfterStartIsNoLongerValid) {
    auto requirement = designated();
    Child child(executable);
    ASSERT_TRUE(child.started());
    writeFile(bundle + "/Contents/Resources/strings.txt", "changed\n");
    EXPECT_FALSE(liveValid(child.pid(), *requirement));
    // Re-sealed: the running bytes are still the sealed executable, so the process meets
    // the new seal's requirement, but not the old one's.
    ASSERT_TRUE(sealBundle(bundle, nullptr).ok);
    EXPECT_FALSE(liveValid(child.pid(), *requirement));
    EXPECT_TRUE(liveValid(child.pid(), *designated()));
}

TEST_F(LiveCodeTest, ExecutableReplacedOnDiskAfterStart) {
    Child child(executable);
    ASSERT_TRUE(child.started());
    // A new binary (sleep with a trailing byte) renamed over the old one: the process
    // still runs the old bytes.
    copyFile("/bin/sleep", bundle + "/Contents/MacOS/new");
    {
        std::ofstream append(bundle + "/Contents/MacOS/new", std::ios::binary | std::ios::app);
        append << '\n';
    }
    fs::rename(bundle + "/Contents/MacOS/new", executable);

    auto running = processExecutable(child.pid());
    ASSERT_TRUE(running);
    EXPECT_EQ(running->path, executable);
    EXPECT_TRUE(running->replaced);

    // The seal no longer matches the disk...
    EXPECT_FALSE(liveValid(child.pid(), *port.compileRequirement("identifier \"" + liveId + "\"")));
    // ...and once re-sealed for the new binary, the seal no longer matches what runs.
    ASSERT_TRUE(sealBundle(bundle, nullptr).ok);
    ASSERT_TRUE(validateSeal(bundle).valid());
    EXPECT_FALSE(liveValid(child.pid(), *designated()));
    EXPECT_FALSE(liveValid(child.pid(), *port.compileRequirement("identifier \"" + liveId + "\"")));

    // A fresh process of the new binary is valid again.
    Child fresh(executable);
    ASSERT_TRUE(fresh.started());
    EXPECT_TRUE(liveValid(fresh.pid(), *designated()));
}

TEST_F(LiveCodeTest, ProcessOutsideABundleHasNoLiveCode) {
    EXPECT_FALSE(port.liveCode(::getpid()));
    EXPECT_FALSE(port.liveCode(0));
    EXPECT_FALSE(port.liveCode(-5));
}

TEST_F(LiveCodeTest, WorkspaceFindsRunningInstancesByIdentifier) {
    LinuxWorkspacePort workspace;
    EXPECT_TRUE(workspace.runningApplications(liveId).empty());
    Child first(executable);
    Child second(executable);
    ASSERT_TRUE(first.started());
    ASSERT_TRUE(second.started());
    auto running = workspace.runningApplications(liveId);
    ASSERT_EQ(running.size(), 2u);
    EXPECT_EQ(running[0].pid, std::min(first.pid(), second.pid()));
    EXPECT_EQ(running[1].pid, std::max(first.pid(), second.pid()));
    EXPECT_EQ(running[0].executablePath, executable);
    EXPECT_TRUE(workspace.runningApplications("com.example.Other").empty());

    EXPECT_EQ(bundleIdentifierOfProcess(first.pid()), liveId);
    EXPECT_EQ(bundleIdentifierOfProcess(::getpid()), std::nullopt);
}

TEST_F(LiveCodeTest, ExecutableWhoseNameEndsInDeletedIsTakenLiterally) {
    const std::string odd = bundle + "/Contents/MacOS/Sleeper (deleted)";
    copyFile("/bin/sleep", odd);
    Child child(odd);
    ASSERT_TRUE(child.started());
    auto running = processExecutable(child.pid());
    ASSERT_TRUE(running);
    EXPECT_EQ(running->path, odd);
    EXPECT_FALSE(running->replaced);
}

TEST(BundleOfExecutable, FindsTheInnermostBundle) {
    struct Case {
        const char* path;
        std::optional<std::string> bundle;
    } cases[] = {
        {"/opt/A.app/Contents/MacOS/a", "/opt/A.app"},
        {"/opt/A.app/Contents/MacOS/sub/a", "/opt/A.app"},
        {"/opt/A.app/Contents/MacOS/B.app/Contents/MacOS/b", "/opt/A.app/Contents/MacOS/B.app"},
        {"/opt/A.app/Contents/Resources/a", std::nullopt},
        {"/opt/A/Contents/MacOS/a", std::nullopt},
        {"/opt/.app/Contents/MacOS/a", std::nullopt},
        {"/opt/A.app/Contents/MacOS/", std::nullopt},
        {"/usr/bin/sleep", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(bundleOfExecutable(c.path), c.bundle) << c.path;
}

} // namespace
} // namespace host::bundles
