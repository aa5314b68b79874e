// Window titles in COMPOUND_TEXT, as libX11 and older toolkits write them, read as UTF-8.

#include "host/platform/linux/x11/compound_text.h"

#include <gtest/gtest.h>

#include <string>

namespace host::platform::x11 {
namespace {

TEST(CompoundText, SegmentsOfEachKindReadAsUtf8) {
    const struct {
        const char* what;
        std::string text;
        std::string utf8;
    } cases[] = {
        {"plain ASCII", "Notes - draft", "Notes - draft"},
        {"Latin-1 right half by default", "caf\xe9", "café"},
        {"another right half", "\x1b-L\xb0\xcf", "АЯ"}, // ISO 8859-5
        {"Greek, then back to ASCII on the left", "\x1b-F\xe1\xe2 ok", "αβ ok"},
        {"a UTF-8 segment", "a \x1b%G\xe2\x82\xac\x1b%@ b", "a € b"},
        {"an open UTF-8 segment runs to the end", "\x1b%G\xf0\x9f\x99\x82", "🙂"},
        {"JIS X 0208 in GL", "\x1b$(B\x46\x7c\x4b\x5c\x1b(B!", "日本!"},
        {"GB 2312 in GR", "\x1b$)A\xd6\xd0\xce\xc4", "中文"},
        {"controls and spaces stand", "a\tb\nc d", "a\tb\nc d"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(compoundTextToUtf8(c.text), c.utf8) << c.what;
}

TEST(CompoundText, WhatCannotBeReadIsNothing) {
    const struct {
        const char* what;
        std::string text;
    } cases[] = {
        {"an unknown right half", "\x1b-Zx\xe9"},
        {"an unknown wide set", "\x1b$(Zxx"},
        {"an unknown escape", "\x1b?"},
        {"a UTF-8 segment that is not UTF-8", "\x1b%G\xff\x1b%@"},
        {"half a wide character", "\x1b$)A\xd6"},
    };
    for (const auto& c : cases)
        EXPECT_FALSE(compoundTextToUtf8(c.text)) << c.what;
}

} // namespace
} // namespace host::platform::x11
