#include "tests/support/jpeg_decode.h"
#include "world.h"

#include "host/inventory/identity.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

namespace host::testing {
namespace {

namespace fs = std::filesystem;

std::string identityCode(platform::Platform& platform, const std::string& path) {
    try {
        identity(platform, path);
        return "ok";
    } catch (const HostError& error) {
        return std::string(error.name());
    }
}

struct Breakage {
    const char* what;
    std::function<void(FakeDesktop&, const FakeAppSpec&)> apply;
    const char* code;
};

TEST(Identity, ChecksInOrderAndTheFirstFailureDecides) {
    const Breakage rows[] = {
        {"nothing broken", [](auto&, auto&) {}, "ok"},
        {"no bundle there", [](auto& d, auto& a) { d.bundles.bundles.erase(a.location); },
         "invalid_app"},
        {"no bundle identifier",
         [](auto& d, auto& a) { d.bundles.bundles[a.location].identifier.reset(); }, "invalid_app"},
        {"no main executable",
         [](auto& d, auto& a) { d.bundles.bundles[a.location].executablePath.reset(); },
         "invalid_app"},
        {"bundle faults come before signature faults",
         [](auto& d, auto& a) {
             d.bundles.bundles[a.location].executablePath.reset();
             d.codeSigning.signatures.erase(a.location);
         },
         "invalid_app"},
        {"not signed", [](auto& d, auto& a) { d.codeSigning.signatures.erase(a.location); },
         "unsigned_app"},
        {"code object refused",
         [](auto& d, auto& a) { d.codeSigning.signatures[a.location].creatable = false; },
         "unsigned_app"},
        {"modified after signing",
         [](auto& d, auto& a) { d.codeSigning.signatures[a.location].valid = false; },
         "unsigned_app"},
        {"no signing information",
         [](auto& d, auto& a) { d.codeSigning.signatures[a.location].information.reset(); },
         "unsigned_app"},
        {"no signing identifier",
         [](auto& d, auto& a) {
             d.codeSigning.signatures[a.location].information->identifier.reset();
         },
         "unsigned_app"},
        {"no designated requirement",
         [](auto& d, auto& a) { d.codeSigning.signatures[a.location].requirement.reset(); },
         "unsigned_app"},
        {"no icon", [](auto& d, auto& a) { d.bundles.iconsPng.erase(a.location); }, "ok"},
    };
    for (const auto& row : rows) {
        World world;
        row.apply(world.desktop, world.notes);
        EXPECT_EQ(identityCode(world.desktop.platform(), world.notes.location), row.code)
            << row.what;
    }
}

TEST(Identity, DescribesTheBundleWithEightStrings) {
    World world;
    auto& platform = world.desktop.platform();
    const auto id = identity(platform, world.notes.location);
    EXPECT_EQ(id.size(), 8u);
    EXPECT_EQ(id["path"], "/Applications/Notes.app");
    EXPECT_EQ(id["bundleId"], "com.example.notes");
    EXPECT_EQ(id["signedId"], "com.example.notes");
    EXPECT_EQ(id["teamId"], "TEAM123456");
    EXPECT_EQ(id["executable"], "/Applications/Notes.app/Contents/MacOS/Notes");
    EXPECT_EQ(id["requirement"], world.notes.requirement());
    EXPECT_EQ(id["name"], "Notes");
    EXPECT_EQ(decodeBase64(id["icon"]), world.desktop.bundles.iconsPng[world.notes.location]);
    EXPECT_EQ(world.desktop.bundles.iconSizesAsked.back(), 32);

    // An ad-hoc seal has no team; a missing icon is no failure.
    world.desktop.codeSigning.signatures[world.notes.location].information->teamIdentifier.reset();
    world.desktop.bundles.iconsPng.clear();
    const auto adHoc = identity(platform, world.notes.location);
    EXPECT_EQ(adHoc["teamId"], "");
    EXPECT_EQ(adHoc["icon"], "");
}

TEST(Identity, NameFallsBackAndIsCutAtEightyCharacters) {
    World world;
    auto& info = world.desktop.bundles.bundles[world.notes.location];
    auto name = [&] { return identity(world.desktop.platform(), world.notes.location)["name"]; };
    info.strings["CFBundleDisplayName"] = "Notes Deluxe";
    EXPECT_EQ(name(), "Notes Deluxe");
    // A display name that is not a string reads as absent (the bundle port reports only
    // strings): the bundle name, then the file name.
    info.strings.erase("CFBundleDisplayName");
    EXPECT_EQ(name(), "Notes");
    info.strings.clear();
    EXPECT_EQ(name(), "Notes");

    std::string accented; // 100 characters of two code points each
    for (int i = 0; i < 100; ++i)
        accented += "e\xCC\x81";
    info.strings["CFBundleName"] = accented;
    EXPECT_EQ(name(), accented.substr(0, 80 * 3));
    info.strings["CFBundleName"] = accented.substr(0, 80 * 3);
    EXPECT_EQ(name(), accented.substr(0, 80 * 3));
}

// Symbolic links are resolved before anything is judged, on a real file system.
class IdentityOnDisk : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/identity-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = fs::canonical(pattern);
        fs::create_directories(root / "Real.app");
        fs::create_directories(root / "Plain");
        fs::create_directory_symlink(root / "Real.app", root / "Link.app");
        fs::create_directory_symlink(root / "Plain", root / "Fake.app");
        for (auto dir : {"Real.app", "Plain"}) {
            FakeAppSpec spec{(root / dir).string(), "com.example.real", "", std::nullopt};
            world.desktop.installApp(spec);
            world.desktop.bundles.bundles[spec.location].strings.clear();
        }
    }
    void TearDown() override { fs::remove_all(root); }
    World world;
    fs::path root;
};

TEST_F(IdentityOnDisk, ALinkResolvesToItsBundle) {
    const auto id = identity(world.desktop.platform(), (root / "Link.app").string());
    EXPECT_EQ(id["path"], (root / "Real.app").string());
    EXPECT_EQ(id["name"], "Real");
    EXPECT_EQ(id["teamId"], "");

    // Relative to the current directory, through the link.
    const auto previous = fs::current_path();
    fs::current_path(root);
    const auto relative = identity(world.desktop.platform(), "./Link.app/../Link.app");
    fs::current_path(previous);
    EXPECT_EQ(relative["path"], (root / "Real.app").string());
}

TEST_F(IdentityOnDisk, TheExtensionIsJudgedAfterResolutionAndCaseSensitively) {
    auto& platform = world.desktop.platform();
    EXPECT_EQ(identityCode(platform, (root / "Fake.app").string()), "invalid_app");
    fs::rename(root / "Real.app", root / "Real.APP");
    world.desktop.bundles.bundles[(root / "Real.APP").string()] = {"com.example.real", "/x", {}};
    EXPECT_EQ(identityCode(platform, (root / "Real.APP").string()), "invalid_app");
    EXPECT_EQ(identityCode(platform, (root / "Missing.app").string()), "invalid_app");
    EXPECT_EQ(identityCode(platform, ""), "invalid_app");
}

TEST_F(IdentityOnDisk, APathWithANulByteNamesNoBundle) {
    // The part before the NUL is a valid bundle; the whole path is not its name.
    auto& platform = world.desktop.platform();
    const std::string real = (root / "Real.app").string();
    ASSERT_EQ(identityCode(platform, real), "ok");
    using namespace std::string_literals;
    for (const std::string& path : {real + "\0"s, real + "\0/../../x"s, real + "\0.app"s,
                                    "\0"s + real, (root / "Link.app").string() + "\0"s}) {
        EXPECT_EQ(identityCode(platform, path), "invalid_app") << path.size();
    }
    // Through the method, as a client sends it.
    EXPECT_EQ(world.codeFor("identity", {{"path", real + "\0/../../x"s}}), "invalid_app");
}

TEST(IdentityMethod, ReadsPathLenientlyAndIgnoresTheScreen) {
    World world;
    world.desktop.session.info->screenIsLocked = true;
    auto answer = world.call("identity", {{"path", world.notes.location}});
    ASSERT_EQ(codeOf(answer), "ok");
    EXPECT_EQ(std::get<common::Json>(*answer), world.app);
    EXPECT_EQ(world.codeFor("identity", common::Json::object()), "invalid_app");
    EXPECT_EQ(world.codeFor("identity", {{"path", 7}}), "invalid_app");
}

} // namespace
} // namespace host::testing
