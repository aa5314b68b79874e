// Info.plist (XML and binary) through the bundle port, and icons: the bundle's own PNG
// scaled to the square, or the generic icon.
#include <filesystem>
#include <gtest/gtest.h>
#include <png.h>

#include "bundle_fixture.h"
#include "host/platform/linux/bundles/icon.h"
#include "host/platform/linux/bundles/linux_bundle_port.h"

namespace host::bundles {
namespace {

namespace fs = std::filesystem;
using testing::BundleSpec;
using testing::makeBundle;
using testing::PlistKind;
using testing::TempDir;
using testing::writeFile;

// A PNG written with libpng directly: `width` × `height`, one opaque colour.
std::string solidPng(int width, int height, unsigned char r, unsigned char g, unsigned char b) {
    std::vector<unsigned char> pixels(static_cast<std::size_t>(width) * height * 4);
    for (std::size_t i = 0; i < pixels.size(); i += 4) {
        pixels[i] = r, pixels[i + 1] = g, pixels[i + 2] = b, pixels[i + 3] = 255;
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), 0, nullptr);
    std::string bytes(size, '\0');
    EXPECT_TRUE(
        png_image_write_to_memory(&image, bytes.data(), &size, 0, pixels.data(), 0, nullptr));
    bytes.resize(size);
    return bytes;
}

Rgba decodeOrFail(const std::optional<std::vector<unsigned char>>& png) {
    EXPECT_TRUE(png);
    if (!png) return {};
    auto image = decodePng(*png);
    EXPECT_TRUE(image);
    return image ? *image : Rgba{};
}

const unsigned char* pixel(const Rgba& image, int x, int y) {
    return &image.pixels[(static_cast<std::size_t>(y) * image.width + x) * 4];
}

class BundlePortTest : public ::testing::TestWithParam<PlistKind> {
protected:
    TempDir dir;
    LinuxBundlePort port;
};

TEST_P(BundlePortTest, ReadsInfoPlist) {
    BundleSpec spec;
    spec.plist = GetParam();
    spec.extraInfo = {{"CFBundleName", "Sample Name"}};
    const std::string root = makeBundle(dir.path(), "Sample.app", spec);
    auto bundle = port.open(root);
    ASSERT_TRUE(bundle);
    EXPECT_EQ(bundle->identifier(), "com.example.Sample");
    EXPECT_EQ(bundle->executablePath(), root + "/Contents/MacOS/Sample");
    EXPECT_EQ(bundle->infoString("CFBundleName"), "Sample Name");
    EXPECT_EQ(bundle->infoString("CFBundleDisplayName"), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(Plist, BundlePortTest,
                         ::testing::Values(PlistKind::Xml, PlistKind::Binary),
                         [](const auto& info) {
                             return info.param == PlistKind::Xml ? "Xml" : "Binary";
                         });

class BundleOpenTest : public ::testing::Test {
protected:
    std::string bundleWithInfo(const std::string& body) {
        const std::string root = dir.path() + "/Custom.app";
        writeFile(root + "/Contents/Info.plist",
                  "<?xml version=\"1.0\"?><plist version=\"1.0\">" + body + "</plist>");
        writeFile(root + "/Contents/MacOS/Tool", "#!/bin/sh\n");
        return root;
    }
    TempDir dir;
    LinuxBundlePort port;
};

TEST_F(BundleOpenTest, ValuesOfOtherTypesAreAbsent) {
    auto bundle = port.open(bundleWithInfo("<dict><key>CFBundleIdentifier</key><integer>7</integer>"
                                           "<key>CFBundleExecutable</key><string>Tool</string>"
                                           "<key>CFBundleDisplayName</key><array/></dict>"));
    ASSERT_TRUE(bundle);
    EXPECT_EQ(bundle->identifier(), std::nullopt);
    EXPECT_EQ(bundle->infoString("CFBundleDisplayName"), std::nullopt);
    EXPECT_EQ(bundle->executablePath(), dir.path() + "/Custom.app/Contents/MacOS/Tool");
}

TEST_F(BundleOpenTest, ExecutableMustBeAPlainNameThatExists) {
    for (const char* name : {"Missing", "../MacOS/Tool", "..", ""}) {
        auto bundle = port.open(
            bundleWithInfo(std::string("<dict><key>CFBundleIdentifier</key><string>x</string>"
                                       "<key>CFBundleExecutable</key><string>") +
                           name + "</string></dict>"));
        ASSERT_TRUE(bundle);
        EXPECT_EQ(bundle->executablePath(), std::nullopt) << name;
    }
}

TEST_F(BundleOpenTest, NotABundle) {
    EXPECT_FALSE(port.open(bundleWithInfo("<array/>")));
    EXPECT_FALSE(port.open(dir.path() + "/missing.app"));
    fs::create_directories(dir.path() + "/Empty.app");
    EXPECT_FALSE(port.open(dir.path() + "/Empty.app"));
    writeFile(dir.path() + "/File.app", "x");
    EXPECT_FALSE(port.open(dir.path() + "/File.app"));
    writeFile(dir.path() + "/Junk.app/Contents/Info.plist", "not a plist");
    EXPECT_FALSE(port.open(dir.path() + "/Junk.app"));
}

class IconTest : public ::testing::Test {
protected:
    std::string bundleWithIcon(const std::string& iconFile) {
        BundleSpec spec;
        spec.extraInfo = {{"CFBundleIconFile", iconFile}};
        return makeBundle(dir.path(), "Icon.app", spec);
    }
    std::optional<std::vector<unsigned char>> iconOf(const std::string& location, int points) {
        auto bundle = port.open(location);
        EXPECT_TRUE(bundle) << location;
        return bundle ? bundle->iconPng(points) : std::nullopt;
    }
    TempDir dir;
    LinuxBundlePort port;
};

TEST_F(IconTest, BundleIconIsScaledInto32Square) {
    const std::string root = bundleWithIcon("AppIcon.png");
    writeFile(root + "/Contents/Resources/AppIcon.png", solidPng(128, 96, 200, 30, 40));
    Rgba icon = decodeOrFail(iconOf(root, 32));
    ASSERT_EQ(icon.width, 32);
    ASSERT_EQ(icon.height, 32);
    // 128 × 96 fits as 32 × 24, centred: rows 0-3 stay transparent.
    EXPECT_EQ(pixel(icon, 16, 1)[3], 0);
    const unsigned char* centre = pixel(icon, 16, 16);
    EXPECT_EQ(centre[0], 200);
    EXPECT_EQ(centre[1], 30);
    EXPECT_EQ(centre[2], 40);
    EXPECT_EQ(centre[3], 255);
}

TEST_F(IconTest, IconNamedWithoutExtension) {
    const std::string root = bundleWithIcon("AppIcon");
    writeFile(root + "/Contents/Resources/AppIcon.png", solidPng(16, 16, 10, 200, 10));
    Rgba icon = decodeOrFail(iconOf(root, 32));
    ASSERT_EQ(icon.width, 32);
    EXPECT_EQ(pixel(icon, 0, 0)[1], 200);
    EXPECT_EQ(pixel(icon, 31, 31)[3], 255);
}

TEST_F(IconTest, GenericIconWhenTheBundleHasNoUsableOne) {
    const Rgba generic = genericIcon(32);
    auto expectGeneric = [&](const std::string& location) {
        Rgba icon = decodeOrFail(iconOf(location, 32));
        EXPECT_EQ(icon.width, 32);
        EXPECT_EQ(icon.height, 32);
        EXPECT_EQ(icon.pixels, generic.pixels) << location;
    };
    expectGeneric(makeBundle(dir.path(), "Plain.app"));
    const std::string broken = bundleWithIcon("Broken.png");
    writeFile(broken + "/Contents/Resources/Broken.png", "\x89PNG not really");
    expectGeneric(broken);
    TempDir other;
    BundleSpec escaping;
    escaping.extraInfo = {{"CFBundleIconFile", "../../../outside.png"}};
    writeFile(other.path() + "/outside.png", solidPng(8, 8, 1, 2, 3));
    expectGeneric(makeBundle(other.path(), "Esc.app", escaping));
    for (const char* name : {"..", ".", ""}) {
        TempDir plain;
        BundleSpec odd;
        odd.extraInfo = {{"CFBundleIconFile", name}};
        expectGeneric(makeBundle(plain.path(), "Odd.app", odd));
    }
}

TEST_F(IconTest, TheIconIsTheOneTheOpenedInfoPlistNames) {
    // Info.plist is read once, when the bundle is opened; a later change to it on disk
    // does not redirect the icon.
    const std::string root = bundleWithIcon("Red.png");
    writeFile(root + "/Contents/Resources/Red.png", solidPng(8, 8, 255, 0, 0));
    writeFile(root + "/Contents/Resources/Green.png", solidPng(8, 8, 0, 255, 0));
    auto bundle = port.open(root);
    ASSERT_TRUE(bundle);
    TempDir other;
    BundleSpec green;
    green.extraInfo = {{"CFBundleIconFile", "Green.png"}};
    const std::string twin = makeBundle(other.path(), "Icon.app", green);
    testing::copyFile(twin + "/Contents/Info.plist", root + "/Contents/Info.plist");
    Rgba reopened = decodeOrFail(iconOf(root, 32));
    ASSERT_EQ(pixel(reopened, 16, 16)[1], 255);
    Rgba icon = decodeOrFail(bundle->iconPng(32));
    EXPECT_EQ(pixel(icon, 16, 16)[0], 255);
    EXPECT_EQ(pixel(icon, 16, 16)[1], 0);
}

TEST(GenericIcon, IsAnOpaqueTileWithTransparentCorners) {
    Rgba icon = genericIcon(32);
    ASSERT_EQ(icon.pixels.size(), 32u * 32u * 4u);
    EXPECT_EQ(pixel(icon, 0, 0)[3], 0);
    EXPECT_EQ(pixel(icon, 16, 16)[3], 255);
    auto png = encodePng(icon);
    ASSERT_TRUE(png);
    auto decoded = decodePng(*png);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->pixels, icon.pixels);
}

TEST(IconPort, RefusesUnreasonableSizes) {
    TempDir dir;
    LinuxBundlePort port;
    auto bundle = port.open(makeBundle(dir.path(), "Plain.app"));
    ASSERT_TRUE(bundle);
    EXPECT_FALSE(bundle->iconPng(0));
    EXPECT_FALSE(bundle->iconPng(-1));
    EXPECT_FALSE(bundle->iconPng(100000));
    EXPECT_TRUE(bundle->iconPng(kMaxIconSide));
}

} // namespace
} // namespace host::bundles
