// What the window list shows of a top-level window, from the raw property bytes the server
// gave: layers, minimised windows, opacity and titles.

#include "host/platform/linux/x11/window_facts.h"
#include "tests/support/x11_atoms.h"

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <string>
#include <vector>

namespace host::platform::x11 {
namespace {

namespace layer = linux_desktop::layer;
using namespace std::string_view_literals;

constexpr std::uint32_t kNormalState = 1;
constexpr std::uint32_t kIconicState = 3;
constexpr std::uint32_t kOpaque = 0xffffffff;

const Atoms atoms = test_support::numberedAtoms(300);
constexpr xcb_atom_t kStateFullscreen = 900; // any other _NET_WM_STATE atom
constexpr xcb_atom_t kUnknownType = 901;     // a window type this host does not know

// Property values whose bytes start at an odd address, as a value may anywhere in a buffer.
class Values {
public:
    PropertyValue bytes(xcb_atom_t type, std::uint8_t format, std::string_view value) {
        std::string& stored = store_.emplace_back(1, ' ');
        stored.append(value);
        return {type, format, std::as_bytes(std::span(stored).subspan(1))};
    }
    // Format-32 values, then `tail` bytes that do not make a whole value.
    PropertyValue cardinals(xcb_atom_t type, const std::vector<std::uint32_t>& values,
                            std::string_view tail = {}) {
        std::string raw(values.size() * 4, '\0');
        if (!values.empty()) std::memcpy(raw.data(), values.data(), raw.size());
        return bytes(type, 32, raw + std::string(tail));
    }
    PropertyValue utf8(std::string_view value) { return bytes(atoms.utf8String, 8, value); }

private:
    std::deque<std::string> store_;
};

// A managed, listed window with its client found: what most cases vary from.
WindowFacts managed() {
    WindowFacts facts;
    facts.clientState = kNormalState;
    return facts;
}

TEST(WindowFacts, TheFirstKnownWindowTypeGivesTheLayer) {
    const struct {
        const char* what;
        std::vector<std::uint32_t> types;
        std::int64_t layer;
    } cases[] = {
        {"no type", {}, layer::kNormal},
        {"normal", {atoms.typeNormal}, layer::kNormal},
        {"dialog", {atoms.typeDialog}, layer::kNormal},
        {"desktop", {atoms.typeDesktop}, layer::kDesktop},
        {"dock", {atoms.typeDock}, layer::kDock},
        {"utility", {atoms.typeUtility}, layer::kFloating},
        {"toolbar", {atoms.typeToolbar}, layer::kFloating},
        {"splash", {atoms.typeSplash}, layer::kFloating},
        {"menu", {atoms.typeMenu}, layer::kMenu},
        {"dropdown menu", {atoms.typeDropdownMenu}, layer::kMenu},
        {"popup menu", {atoms.typePopupMenu}, layer::kMenu},
        {"combo", {atoms.typeCombo}, layer::kMenu},
        {"drag and drop", {atoms.typeDnd}, layer::kMenu},
        {"tooltip", {atoms.typeTooltip}, layer::kTooltip},
        {"notification", {atoms.typeNotification}, layer::kNotification},
        {"unknown only", {kUnknownType}, layer::kNormal},
        {"unknown, then dock", {kUnknownType, atoms.typeDock}, layer::kDock},
        {"dock before normal", {atoms.typeDock, atoms.typeNormal}, layer::kDock},
        {"normal before desktop", {atoms.typeNormal, atoms.typeDesktop}, layer::kNormal},
    };
    for (const auto& c : cases) {
        Values values;
        WindowFacts facts = managed();
        facts.windowType = values.cardinals(XCB_ATOM_ATOM, c.types);
        const auto traits = traitsOf(facts, atoms);
        ASSERT_TRUE(traits) << c.what;
        EXPECT_EQ(traits->layer, c.layer) << c.what;
        EXPECT_EQ(traits->desktop, c.layer == layer::kDesktop) << c.what;
    }
}

TEST(WindowFacts, AnUnmanagedWindowIsNeverAnOrdinaryOne) {
    const struct {
        const char* what;
        std::vector<std::uint32_t> types;
        std::optional<std::uint32_t> clientState;
        std::int64_t layer;
    } cases[] = {
        {"no type", {}, std::nullopt, layer::kMenu},
        {"typed normal", {atoms.typeNormal}, std::nullopt, layer::kMenu},
        {"typed dialog", {atoms.typeDialog}, std::nullopt, layer::kMenu},
        {"unknown type", {kUnknownType}, std::nullopt, layer::kMenu},
        {"tooltip", {atoms.typeTooltip}, std::nullopt, layer::kTooltip},
        {"notification", {atoms.typeNotification}, std::nullopt, layer::kNotification},
        {"desktop", {atoms.typeDesktop}, std::nullopt, layer::kDesktop},
        {"typed normal, with WM_STATE", {atoms.typeNormal}, kNormalState, layer::kMenu},
    };
    for (const auto& c : cases) {
        Values values;
        WindowFacts facts;
        facts.overrideRedirect = true;
        facts.clientState = c.clientState;
        facts.windowType = values.cardinals(XCB_ATOM_ATOM, c.types);
        const auto traits = traitsOf(facts, atoms);
        ASSERT_TRUE(traits) << c.what;
        EXPECT_EQ(traits->layer, c.layer) << c.what;
    }
}

TEST(WindowFacts, AManagedFrameWithoutClientHasNoLayer) {
    Values values;
    WindowFacts facts; // no WM_STATE found at or below the frame
    facts.windowType = values.cardinals(XCB_ATOM_ATOM, {atoms.typeDesktop});
    const auto traits = traitsOf(facts, atoms);
    ASSERT_TRUE(traits);
    EXPECT_FALSE(traits->layer);
    EXPECT_FALSE(traits->desktop);
}

TEST(WindowFacts, WindowTypesOfAnotherFormatAreNotRead) {
    Values values;
    WindowFacts facts = managed();
    std::string dock(4, '\0');
    std::memcpy(dock.data(), &atoms.typeDock, 4);
    facts.windowType = values.bytes(XCB_ATOM_ATOM, 8, dock);
    EXPECT_EQ(traitsOf(facts, atoms)->layer, layer::kNormal);
}

TEST(WindowFacts, MinimisedWindowsAreLeftOut) {
    const struct {
        const char* what;
        std::optional<std::uint32_t> clientState;
        bool overrideRedirect;
        std::vector<std::uint32_t> netStates;
        std::uint8_t netStateFormat;
        bool listed;
    } cases[] = {
        {"normal", kNormalState, false, {}, 32, true},
        {"withdrawn", 0, false, {}, 32, true},
        {"iconic", kIconicState, false, {}, 32, false},
        {"iconic override-redirect", kIconicState, true, {}, 32, false},
        {"hidden", kNormalState, false, {atoms.netWmStateHidden}, 32, false},
        {"hidden after another state",
         kNormalState,
         false,
         {kStateFullscreen, atoms.netWmStateHidden},
         32,
         false},
        {"hidden without a client", std::nullopt, false, {atoms.netWmStateHidden}, 32, false},
        {"other states only", kNormalState, false, {kStateFullscreen}, 32, true},
        {"hidden in a format-16 value", kNormalState, false, {atoms.netWmStateHidden}, 16, true},
    };
    for (const auto& c : cases) {
        Values values;
        WindowFacts facts;
        facts.clientState = c.clientState;
        facts.overrideRedirect = c.overrideRedirect;
        facts.netWmState = values.cardinals(XCB_ATOM_ATOM, c.netStates);
        facts.netWmState.format = c.netStateFormat;
        EXPECT_EQ(traitsOf(facts, atoms).has_value(), c.listed) << c.what;
    }
}

TEST(WindowFacts, OpacityCountsUnderACompositorClientFirst) {
    const struct {
        const char* what;
        bool composited;
        std::optional<std::uint32_t> client;
        std::optional<std::uint32_t> frame;
        double alpha;
    } cases[] = {
        {"no compositor: opaque whatever is asked", false, 0, 0, 1.0},
        {"no opacity asked", true, std::nullopt, std::nullopt, 1.0},
        {"transparent client", true, 0, std::nullopt, 0.0},
        {"half", true, 0x80000000u, std::nullopt, 0x80000000u / 4294967295.0},
        {"opaque", true, kOpaque, std::nullopt, 1.0},
        {"the frame's when the client asks none", true, std::nullopt, 0x40000000u,
         0x40000000u / 4294967295.0},
        {"the client's before the frame's", true, 0, kOpaque, 0.0},
    };
    for (const auto& c : cases) {
        Values values;
        WindowFacts facts = managed();
        facts.composited = c.composited;
        if (c.client) facts.opacity = values.cardinals(XCB_ATOM_CARDINAL, {*c.client});
        if (c.frame) facts.frameOpacity = values.cardinals(XCB_ATOM_CARDINAL, {*c.frame});
        const auto traits = traitsOf(facts, atoms);
        ASSERT_TRUE(traits) << c.what;
        EXPECT_DOUBLE_EQ(traits->alpha, c.alpha) << c.what;
    }
}

TEST(WindowFacts, AFormat32ValueDropsItsIncompleteTail) {
    Values values;
    WindowFacts facts = managed();
    facts.composited = true;
    facts.windowType = values.cardinals(XCB_ATOM_ATOM, {atoms.typeDock}, "\x01\x02");
    facts.opacity = values.cardinals(XCB_ATOM_CARDINAL, {}, "\x00\x00\x00"sv); // no whole value
    facts.frameOpacity = values.cardinals(XCB_ATOM_CARDINAL, {0}, "\xff");
    const auto traits = traitsOf(facts, atoms);
    ASSERT_TRUE(traits);
    EXPECT_EQ(traits->layer, layer::kDock);
    EXPECT_DOUBLE_EQ(traits->alpha, 0.0);

    WindowFacts hidden = managed(); // HIDDEN only in the cut-off bytes
    std::string tail(4, '\0');
    std::memcpy(tail.data(), &atoms.netWmStateHidden, 4);
    hidden.netWmState = values.cardinals(XCB_ATOM_ATOM, {kStateFullscreen}, tail.substr(0, 3));
    EXPECT_TRUE(traitsOf(hidden, atoms));
}

TEST(WindowFacts, TitlesAreValidUtf8FromEachEncoding) {
    Values values;
    const struct {
        const char* what;
        PropertyValue netWmName;
        PropertyValue wmName;
        std::optional<std::string> name;
    } cases[] = {
        {"_NET_WM_NAME first", values.utf8("Notes"), values.bytes(XCB_ATOM_STRING, 8, "WM"),
         "Notes"},
        {"WM_NAME without _NET_WM_NAME", {}, values.bytes(XCB_ATOM_STRING, 8, "Notes"), "Notes"},
        {"neither", {}, {}, std::nullopt},
        {"STRING is Latin-1", {}, values.bytes(XCB_ATOM_STRING, 8, "caf\xe9 \xbd"), "café ½"},
        {"UTF-8 as it is", values.utf8("日本 €"), {}, "日本 €"},
        {"invalid UTF-8 mended",
         values.utf8("a\xff"
                     "b\xc3"),
         {},
         "a\uFFFDb\uFFFD"},
        {"COMPOUND_TEXT converted",
         {},
         values.bytes(atoms.compoundText, 8, "\x1b-F\xe1\xe2 ok"),
         "αβ ok"},
        {"COMPOUND_TEXT as _NET_WM_NAME",
         values.bytes(atoms.compoundText, 8, "caf\xe9"),
         {},
         "café"},
        {"unreadable COMPOUND_TEXT falls back to WM_NAME",
         values.bytes(atoms.compoundText, 8, "\x1b-Zx"), values.utf8("Notes"), "Notes"},
        {"a format-16 _NET_WM_NAME falls back to WM_NAME", values.bytes(atoms.utf8String, 16, "ab"),
         values.utf8("Notes"), "Notes"},
        {"any other type is read as UTF-8",
         {},
         values.bytes(kUnknownType, 8, "\xc3\xa9t\xe9"),
         "ét\uFFFD"},
        {"empty", values.utf8(""), values.utf8("Notes"), ""},
        // A text property may be a list of NUL-ended strings; the title is the first.
        {"a UTF-8 list", values.utf8("one\0two"sv), {}, "one"},
        {"a STRING list", {}, values.bytes(XCB_ATOM_STRING, 8, "caf\xe9\0two"sv), "café"},
        {"a COMPOUND_TEXT list",
         {},
         values.bytes(atoms.compoundText, 8, "\x1b-F\xe1\0\xe2\x1b-Zx"sv),
         "α"},
        {"a list whose first string is empty", values.utf8("\0two"sv), values.utf8("Notes"), ""},
    };
    for (const auto& c : cases) {
        WindowFacts facts = managed();
        facts.netWmName = c.netWmName;
        facts.wmName = c.wmName;
        const auto traits = traitsOf(facts, atoms);
        ASSERT_TRUE(traits) << c.what;
        EXPECT_EQ(traits->name, c.name) << c.what;
    }
}

} // namespace
} // namespace host::platform::x11
