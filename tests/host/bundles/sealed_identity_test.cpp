// identity over the real bundle and seal ports: what the seal refuses becomes
// "unsigned_app", Info.plist is read once per request, and the values reported are the
// bytes that were validated, whatever happens to the file meanwhile.
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include "bundle_fixture.h"
#include "host/base/host_error.h"
#include "host/inventory/identity.h"
#include "host/platform/fake/fake_bundles.h"
#include "host/platform/linux/bundles/linux_bundle_port.h"
#include "host/platform/linux/bundles/linux_code_signing_port.h"
#include "host/platform/linux/bundles/seal_writer.h"
#include "tests/support/no_ports.h"

namespace host::bundles {
namespace {

namespace fs = std::filesystem;
using testing::BundleSpec;
using testing::makeBundle;
using testing::readFile;
using testing::TempDir;
using testing::writeFile;

// The bundle port, with a hook that runs right after each bundle has been opened: the
// moment a rival process would pick to change the bundle behind the host's back.
class WatchedBundles final : public platform::BundlePort {
public:
    std::function<void()> afterOpen = [] {};
    std::unique_ptr<platform::Bundle> open(const std::string& location) override {
        auto bundle = real_.open(location);
        afterOpen();
        return bundle;
    }

private:
    LinuxBundlePort real_;
};

struct SealedDesktop {
    test_support::FakeDesktopParts parts;
    WatchedBundles bundles;
    LinuxCodeSigningPort codeSigning;
    platform::Platform platform{
        parts.session,      bundles,       codeSigning,         parts.workspace,
        parts.windowServer, parts.capture, parts.accessibility, parts.events,
        parts.clock,        parts.uuids};
};

std::string outcomeOf(platform::Platform& platform, const std::string& path) {
    try {
        identity(platform, path);
        return "ok";
    } catch (const HostError& error) {
        return std::string(error.name());
    }
}

void addPermissions(const std::string& path, fs::perms bits) {
    fs::permissions(path, bits, fs::perm_options::add);
}

class SealedIdentityTest : public ::testing::Test {
protected:
    void SetUp() override {
        BundleSpec spec;
        spec.identifier = "com.example.Good";
        spec.extraInfo = {{"CFBundleName", "Good"}};
        bundle = fs::canonical(makeBundle(dir.path(), "Good.app", spec)).string();
        ASSERT_TRUE(sealBundle(bundle, nullptr).ok);
        // The same bundle but for what its Info.plist declares, left unsealed.
        spec.identifier = "com.example.Evil";
        spec.extraInfo = {{"CFBundleName", "Evil"}};
        evilInfo = makeBundle(other.path(), "Good.app", spec) + "/Contents/Info.plist";
        sealedInfo = other.path() + "/sealed.plist";
        writeFile(sealedInfo, readFile(bundle + "/Contents/Info.plist"));
    }
    // Rewrites the bundle's Info.plist in place, keeping its mode.
    void putInfo(const std::string& from) {
        writeFile(bundle + "/Contents/Info.plist", readFile(from));
    }

    TempDir dir;
    TempDir other;
    std::string bundle;
    std::string evilInfo;
    std::string sealedInfo;
    SealedDesktop desktop;
};

TEST_F(SealedIdentityTest, WhatTheSealRefusesIsUnsigned) {
    const struct {
        const char* what;
        std::function<void(const std::string&)> apply;
        const char* code;
    } rows[] = {
        {"sealed as made", [](auto&) {}, "ok"},
        {"set-user-ID executable",
         [](auto& b) { addPermissions(b + "/Contents/MacOS/Sample", fs::perms::set_uid); },
         "unsigned_app"},
        {"set-group-ID resource",
         [](auto& b) { addPermissions(b + "/Contents/Resources/strings.txt", fs::perms::set_gid); },
         "unsigned_app"},
        {"Contents/MacOS writable by anyone",
         [](auto& b) { addPermissions(b + "/Contents/MacOS", fs::perms::others_write); },
         "unsigned_app"},
        {"a resource made executable",
         [](auto& b) {
             addPermissions(b + "/Contents/Resources/strings.txt", fs::perms::owner_exec);
         },
         "unsigned_app"},
        {"an unlisted empty folder",
         [](auto& b) { fs::create_directory(b + "/Contents/Resources/more"); }, "unsigned_app"},
    };
    for (const auto& row : rows) {
        TempDir scratch;
        const std::string copy = scratch.path() + "/Good.app";
        fs::copy(bundle, copy, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
        row.apply(copy);
        EXPECT_EQ(outcomeOf(desktop.platform, copy), row.code) << row.what;
    }
}

TEST_F(SealedIdentityTest, InfoPlistIsReadOncePerRequest) {
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    // Closes are watched too: inotify merges an event into an identical one still unread,
    // so two opens in a row would count as one.
    ASSERT_GE(::inotify_add_watch(watch, (bundle + "/Contents/Info.plist").c_str(),
                                  IN_OPEN | IN_CLOSE),
              0);
    const auto id = identity(desktop.platform, bundle);
    EXPECT_EQ(id["bundleId"], "com.example.Good");
    int opens = 0;
    alignas(inotify_event) char events[4096];
    for (ssize_t got; (got = ::read(watch, events, sizeof events)) > 0;) {
        for (char* at = events; at < events + got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(at);
            opens += (event->mask & IN_OPEN) != 0;
            at += sizeof(inotify_event) + event->len;
        }
    }
    ::close(watch);
    EXPECT_EQ(opens, 1);
}

TEST_F(SealedIdentityTest, AnInfoPlistSwappedBackAfterReadingIsNotVouchedFor) {
    // Read while it declares another identity, then put back as sealed before the seal is
    // checked: the values read were never sealed.
    putInfo(evilInfo);
    desktop.bundles.afterOpen = [&] { putInfo(sealedInfo); };
    EXPECT_EQ(outcomeOf(desktop.platform, bundle), "unsigned_app");
}

TEST_F(SealedIdentityTest, AnInfoPlistChangedAfterReadingLeavesTheValidatedIdentity) {
    // Read as sealed, then changed on disk: what is reported is still what was validated.
    desktop.bundles.afterOpen = [&] { putInfo(evilInfo); };
    const auto id = identity(desktop.platform, bundle);
    EXPECT_EQ(id["bundleId"], "com.example.Good");
    EXPECT_EQ(id["name"], "Good");
    EXPECT_EQ(id["executable"], bundle + "/Contents/MacOS/Sample");
    // The next request reads the changed file and refuses it.
    desktop.bundles.afterOpen = [] {};
    EXPECT_EQ(outcomeOf(desktop.platform, bundle), "unsigned_app");
}

TEST_F(SealedIdentityTest, ABundleOpenedElsewhereHasNoStaticCode) {
    platform::fake::FakeBundles fakes;
    fakes.bundles[bundle] = {"com.example.Good", bundle + "/Contents/MacOS/Sample", {}};
    auto opened = fakes.open(bundle);
    ASSERT_TRUE(opened);
    EXPECT_FALSE(desktop.codeSigning.createStaticCode(bundle, *opened));
    LinuxBundlePort real;
    auto ours = real.open(bundle);
    ASSERT_TRUE(ours);
    EXPECT_FALSE(desktop.codeSigning.createStaticCode(dir.path(), *ours));
    EXPECT_TRUE(desktop.codeSigning.createStaticCode(bundle, *ours));
}

} // namespace
} // namespace host::bundles
